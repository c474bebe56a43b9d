#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "records/detail/field_limits.hpp"
#include "records/detail/field_words.hpp"
#include "records/detail/written_rows.hpp"

namespace records::detail {

// Why a numeric field could not be converted.
enum class field_failure : std::uint8_t {
  none,
  malformed,     // a character that cannot belong to the number, or no digits at all
  sign_only,     // a sign with nothing after it
  out_of_range,  // an I field beyond the signed 32-bit range
};

// Plain words for a failure, for the report; empty where the field text says it all.
std::string_view failure_detail(field_failure failure);

template <typename T>
struct field_result {
  T value{};
  field_failure failure = field_failure::none;
};

// What a row of fields side by side gave: how many fields were converted, in
// column order, before the first that holds no value, and why that one does not.
struct row_result {
  std::size_t converted = 0;
  field_failure failure = field_failure::none;
};

// The exact fallback: any field of any width and spelling, read column by
// column; a real through std::from_chars from its significant digits. It takes
// what the scanner below cannot decide: fields wider than eight columns, and
// numbers that one rounding of mantissa and power of ten cannot give exactly.
// Blanks are ignored anywhere. A number is an optional sign, a mantissa of
// digits with at most one point and at least one digit, and an optional
// exponent ("E", "e", "D" or "d" with an optional sign, or a bare sign, then
// digits). Without a point the last `decimals` digits are the fraction.
[[gnu::noinline]] field_result<float> read_real_exactly(std::string_view field,
                                                        std::int32_t decimals);
[[gnu::noinline]] field_result<std::int32_t> read_integer_exactly(std::string_view field);

// A field of at most eight columns, scanned once: its value is
// mantissa x 10^exponent, with the sign.
struct decomposed_number {
  static constexpr std::uint8_t negative = 1;
  static constexpr std::uint8_t point = 2;
  static constexpr std::uint8_t exponent_given = 4;

  std::uint32_t mantissa = 0;  // every digit of the mantissa, at most eight
  std::int32_t exponent = 0;   // the explicit exponent less the fraction digits
  std::uint8_t flags = 0;
  field_failure failure = field_failure::none;

  bool has(std::uint8_t flag) const { return (flags & flag) != 0; }
};

// The one scanner of numeric fields, for a field of at most eight columns given
// as one word (see field_words.hpp), in any spelling the exact fallback reads,
// with Decimals implied fraction digits. The columns are classified at once;
// every digit is joined into one integer, the point's column taken out first
// and the exponent's digits divided off after. Blanks after the first filled
// column, rare, are taken out before all that.
template <std::size_t Width, std::int32_t Decimals>
[[gnu::always_inline]] inline decomposed_number scan_word(std::uint64_t word) {
  using namespace columns;
  column_kinds kinds = classify(word);
  decomposed_number number;
  // An Iw field in the shape a format writes a whole number in: blanks, then
  // digits to the last column. (Reals are seldom spelled so.)
  if (Decimals == 0 && (kinds.blanks ^ kinds.digits) == all_columns &&
      (kinds.digits | (kinds.digits - 1)) == all_columns) {
    number.mantissa = join_field<Width>(digit_values(word) & kinds.digit_bytes);
    number.exponent = -Decimals;
    return number;
  }
  const std::uint32_t filled = ~kinds.blanks & all_columns;
  if (filled == 0) return number;  // all blank: zero
  auto first = static_cast<std::uint32_t>(std::countr_zero(filled));
  if (filled != columns_from[first]) [[unlikely]] {
    word = without_blanks(word, kinds.blanks & columns_from[first]);
    kinds = classify(word);
    first = static_cast<std::uint32_t>(std::countr_zero(~kinds.blanks & all_columns));
  }
  // Columns first to 7 hold the number: a sign, digits with at most one point,
  // then perhaps an exponent.
  if (const char lead = column(word, first); lead == '-' || lead == '+') {
    number.flags = lead == '-' ? decomposed_number::negative : std::uint8_t{0};
    if (++first == columns_in_word) {
      number.failure = field_failure::sign_only;
      return number;
    }
  }
  const std::uint32_t point_columns = columns::points(word);
  const std::uint32_t others = ~(kinds.digits | point_columns) & columns_from[first];
  // The mantissa ends where the exponent begins.
  const auto end = static_cast<std::uint32_t>(std::countr_zero(others | 0x100));
  const std::uint32_t points = point_columns & columns_from[first];
  if ((kinds.digits & columns_from[first] & ~columns_from[end]) == 0 ||
      (points & (points - 1)) != 0 || (points & columns_from[end]) != 0) [[unlikely]] {
    number.failure = field_failure::malformed;
    return number;
  }
  std::uint64_t digits = digit_values(word) & kinds.digit_bytes;
  std::int32_t fraction = Decimals;
  if (points != 0) {
    const auto at = static_cast<std::uint32_t>(std::countr_zero(points));
    fraction = static_cast<std::int32_t>(end - at - 1);
    digits = over_zero_column(digits, at);
    number.flags |= decomposed_number::point;
  }
  const std::uint32_t joined = join(digits);
  if (others == 0) [[likely]] {
    number.mantissa = joined;
    number.exponent = -fraction;
    return number;
  }
  // The exponent: "E", "e", "D" or "d" and an optional sign, or a bare sign,
  // then digits to the last column. Its marks join as zeros between the
  // mantissa and its digits.
  const std::uint64_t marks = word >> (8 * end);
  const auto marker = static_cast<char>(marks);
  const bool letter = static_cast<unsigned char>((marker | 0x20) - 'd') <= 1;
  // The exponent's sign: after a letter, or the bare sign itself.
  const auto sign = static_cast<char>(marks >> (letter ? 8 : 0));
  const bool signed_exponent = sign == '-' || sign == '+';
  const std::uint32_t exponent_digits = end + 1 + (letter && signed_exponent ? 1 : 0);
  if (!(letter || signed_exponent) || exponent_digits >= columns_in_word ||
      (kinds.digits & columns_from[exponent_digits]) != columns_from[exponent_digits])
      [[unlikely]] {
    number.failure = field_failure::malformed;
    return number;
  }
  number.mantissa = joined / powers_of_ten[columns_in_word - end];
  const auto magnitude =
      static_cast<std::int32_t>(joined % powers_of_ten[columns_in_word - exponent_digits]);
  number.exponent = (sign == '-' ? -magnitude : magnitude) - fraction;
  number.flags |= decomposed_number::exponent_given;
  return number;
}

// Iw: a point or an exponent has no place in it. Eight digits always fit.
inline field_result<std::int32_t> integer_value(decomposed_number number) {
  if (number.failure != field_failure::none) [[unlikely]] {
    return {0, number.failure};
  }
  if (number.has(decomposed_number::point | decomposed_number::exponent_given)) [[unlikely]] {
    return {0, field_failure::malformed};
  }
  const auto magnitude = static_cast<std::int32_t>(number.mantissa);
  return {number.has(decomposed_number::negative) ? -magnitude : magnitude};
}

// Fw.d: the value rounded once to the nearest binary32, ties to even. One exact
// division (exact_powers_of_ten) serves the common numbers; the exact fallback
// reads the others.
template <std::int32_t Decimals>
inline field_result<float> real_value(decomposed_number number, std::string_view field) {
  if (number.failure != field_failure::none) [[unlikely]] {
    return {0.0f, number.failure};
  }
  if (number.mantissa > (std::uint32_t{1} << 24) || number.exponent < -10 || number.exponent > 10)
      [[unlikely]] {
    return read_real_exactly(field, Decimals);
  }
  const auto mantissa = static_cast<float>(number.mantissa);
  const float magnitude =
      number.exponent < 0
          ? mantissa / exact_powers_of_ten[static_cast<std::size_t>(-number.exponent)]
          : mantissa * exact_powers_of_ten[static_cast<std::size_t>(number.exponent)];
  return {number.has(decomposed_number::negative) ? -magnitude : magnitude};
}

// Iw of a field of Width columns (field.size() == Width).
template <std::size_t Width>
[[gnu::always_inline]] inline field_result<std::int32_t> read_integer_field(
    std::string_view field) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  if constexpr (Width <= columns::columns_in_word) {
    return integer_value(scan_word<Width, 0>(columns::field_word<Width>(field.data())));
  } else {
    return read_integer_exactly(field);
  }
}

// Fw.d of a field of Width columns (field.size() == Width).
template <std::size_t Width, std::int32_t Decimals>
[[gnu::always_inline]] inline field_result<float> read_real_field(std::string_view field) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  static_assert(Decimals >= 0 && static_cast<std::size_t>(Decimals) <= Width);
  if constexpr (Width <= columns::columns_in_word) {
    return real_value<Decimals>(
        scan_word<Width, Decimals>(columns::field_word<Width>(field.data())), field);
  } else {
    return read_real_exactly(field, Decimals);
  }
}

// The fields of a row marked in `which` (a bit per field, the first lowest),
// each through the one scanner, in one loop out of line: converted in column
// order up to the first that holds no value.
template <typename Read, typename Value>
[[gnu::noinline]] row_result read_marked_fields(const char* columns, Value* values,
                                                std::uint32_t which) {
  for (; which != 0; which &= which - 1) {
    const auto k = static_cast<std::size_t>(std::countr_zero(which));
    const auto result = Read::field(columns + Read::width * k);
    if (result.failure != field_failure::none) return {k, result.failure};
    values[k] = result.value;
  }
  return {~std::size_t{0}, field_failure::none};
}

template <std::size_t Width>
struct integer_fields {
  static constexpr std::size_t width = Width;
  [[gnu::always_inline]] static field_result<std::int32_t> field(const char* text) {
    return read_integer_field<Width>({text, Width});
  }
};

template <std::size_t Width, std::int32_t Decimals>
struct real_fields {
  static constexpr std::size_t width = Width;
  [[gnu::always_inline]] static field_result<float> field(const char* text) {
    return read_real_field<Width, Decimals>({text, Width});
  }
};

// Count Iw fields side by side.
template <std::size_t Width, std::size_t Count>
row_result read_integer_row(const char* columns, std::int32_t* values) {
  static_assert(Count >= 1 && Count <= 32);
  const row_result result = read_marked_fields<integer_fields<Width>>(
      columns, values, static_cast<std::uint32_t>((std::uint64_t{1} << Count) - 1));
  return result.failure == field_failure::none ? row_result{Count} : result;
}

// Count Fw.d fields side by side. The row is classified at once where its
// fields can be in the shape a listing prints them (written_rows.hpp): those
// are converted there, whatever their neighbours hold, and only the others go
// through the one scanner.
template <std::size_t Width, std::int32_t Decimals, std::size_t Count>
row_result read_real_row(const char* columns, float* values) {
  static_assert(Count >= 1 && Count <= 32);
  auto others = static_cast<std::uint32_t>((std::uint64_t{1} << Count) - 1);
  if constexpr (written_rows::takes<Width, Decimals, Count>) {
    others = written_rows::read<Decimals, Count>(columns, values);
    if (others == 0) [[likely]] {
      return {Count};
    }
  }
  const row_result result =
      read_marked_fields<real_fields<Width, Decimals>>(columns, values, others);
  return result.failure == field_failure::none ? row_result{Count} : result;
}

// Aw into an item: the rightmost characters when the field is wider than the item,
// the field followed by blanks when it is narrower.
inline void read_character_field(std::string_view field, std::span<char> item) {
  // Labels are four characters read through A4: one fixed-size copy.
  if (field.size() == 4 && item.size() == 4) {
    std::memcpy(item.data(), field.data(), 4);
  } else if (field.size() >= item.size()) {
    std::memcpy(item.data(), field.data() + (field.size() - item.size()), item.size());
  } else {
    std::memcpy(item.data(), field.data(), field.size());
    std::memset(item.data() + field.size(), ' ', item.size() - field.size());
  }
}

}  // namespace records::detail
