#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "records/detail/field_limits.hpp"
#include "records/detail/field_words.hpp"
#include "records/detail/shape_plans.hpp"
#include "records/detail/written_rows.hpp"

namespace records::detail {

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
  std::uint32_t mantissa = 0;  // every digit of the mantissa, at most eight
  std::int32_t exponent = 0;   // the explicit exponent less the fraction digits
  std::uint8_t flags = 0;      // shape_plan's negative, point and exponent_given
  field_failure failure = field_failure::none;
  const decimal_scale* scales = nullptr;  // the plan's, for the number's sign

  bool has(std::uint8_t flag) const { return (flags & flag) != 0; }
};

// The one scanner of numeric fields, for a field of at most eight columns given
// as one word (see field_words.hpp), in any spelling the exact fallback reads,
// with Decimals implied fraction digits: the plan of the field's shape
// (shape_plans.hpp) says whether it holds a number, with which sign, and which
// columns are its digits; they are joined into one integer, whose quotient by
// the plan's divisor is the mantissa and whose remainder is the exponent.
template <std::int32_t Decimals>
[[gnu::always_inline]] inline decomposed_number scan_word(std::uint64_t word, shape_table& shapes) {
  using namespace columns;
  static_assert(Decimals >= 0 && Decimals <= 8);
  constexpr std::uint64_t digit_mark = ones * static_cast<std::uint8_t>('1' + Decimals);
  const shape_plan& plan = shapes.plan(word ^ ((word ^ digit_mark) & columns::digit_bytes(word)));
  decomposed_number number;
  number.flags = plan.flags;
  number.failure = plan.failure;
  number.scales = plan.scales;
  const std::uint32_t joined = join_weighted(word, plan.digits);
  number.mantissa = joined / plan.divisor;
  number.exponent = (static_cast<std::int32_t>(joined % plan.divisor) ^ plan.exponent_flip) -
                    plan.exponent_offset;
  return number;
}

// Iw in the shape a format writes a whole number in: blanks, then digits to
// the last column: false for any other shape, which the scanner then reads.
template <std::size_t Width>
[[gnu::always_inline]] inline bool written_whole_number(std::uint64_t word, std::uint32_t& value) {
  using namespace columns;
  const column_kinds kinds = classify(word);
  if ((kinds.blanks ^ kinds.digits) != all_columns ||
      (kinds.digits | (kinds.digits - 1)) != all_columns) {
    return false;
  }
  value = join_field<Width>(digit_values(word) & kinds.digit_bytes);
  return true;
}

// Iw: a point or an exponent has no place in it. Eight digits always fit.
inline field_result<std::int32_t> integer_value(decomposed_number number) {
  if (number.failure != field_failure::none) [[unlikely]] {
    return {0, number.failure};
  }
  if (number.has(shape_plan::point | shape_plan::exponent_given)) [[unlikely]] {
    return {0, field_failure::malformed};
  }
  const auto magnitude = static_cast<std::int32_t>(number.mantissa);
  return {number.has(shape_plan::negative) ? -magnitude : magnitude};
}

// Fw.d: the value rounded once to the nearest binary32, ties to even. One exact
// multiplication or division (decimal_scales) serves the common numbers; the
// exact fallback reads the others.
template <std::int32_t Decimals>
inline field_result<float> real_value(decomposed_number number, std::string_view field) {
  if (number.failure != field_failure::none) [[unlikely]] {
    return {0.0f, number.failure};
  }
  const auto scale_at = static_cast<std::uint32_t>(number.exponent + largest_scale);
  if (number.mantissa > (std::uint32_t{1} << 24) || scale_at > 2 * largest_scale) [[unlikely]] {
    return read_real_exactly(field, Decimals);
  }
  const decimal_scale& scale = number.scales[number.exponent];
  return {static_cast<float>(number.mantissa) * scale.times / scale.divided_by};
}

// Iw of a field of Width columns (field.size() == Width).
template <std::size_t Width>
[[gnu::always_inline]] inline field_result<std::int32_t> read_integer_field(std::string_view field,
                                                                            shape_table& shapes) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  if constexpr (Width <= columns::columns_in_word) {
    const std::uint64_t word = columns::field_word<Width>(field.data());
    if (std::uint32_t whole = 0; written_whole_number<Width>(word, whole)) [[likely]] {
      return {static_cast<std::int32_t>(whole)};
    }
    return integer_value(scan_word<0>(word, shapes));
  } else {
    return read_integer_exactly(field);
  }
}

// Fw.d of a field of Width columns (field.size() == Width).
template <std::size_t Width, std::int32_t Decimals>
[[gnu::always_inline]] inline field_result<float> read_real_field(std::string_view field,
                                                                  shape_table& shapes) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  static_assert(Decimals >= 0 && static_cast<std::size_t>(Decimals) <= Width);
  if constexpr (Width <= columns::columns_in_word) {
    return real_value<Decimals>(
        scan_word<Decimals>(columns::field_word<Width>(field.data()), shapes), field);
  } else {
    return read_real_exactly(field, Decimals);
  }
}

// The fields of a row marked in `which` (a bit per field, the first lowest),
// each through the one scanner, in one loop out of line: converted in column
// order up to the first that holds no value.
template <typename Read, typename Value>
[[gnu::always_inline]] inline row_result read_marked_fields(const char* columns, Value* values,
                                                            std::uint32_t which,
                                                            shape_table& shapes) {
  for (; which != 0; which &= which - 1) {
    const auto k = static_cast<std::size_t>(std::countr_zero(which));
    const auto result = Read::field(columns + Read::width * k, shapes);
    if (result.failure != field_failure::none) return {k, result.failure};
    values[k] = result.value;
  }
  return {~std::size_t{0}, field_failure::none};
}

template <std::size_t Width>
struct integer_fields {
  static constexpr std::size_t width = Width;
  [[gnu::always_inline]] static field_result<std::int32_t> field(const char* text,
                                                                 shape_table& shapes) {
    return read_integer_field<Width>({text, Width}, shapes);
  }
};

template <std::size_t Width, std::int32_t Decimals>
struct real_fields {
  static constexpr std::size_t width = Width;
  [[gnu::always_inline]] static field_result<float> field(const char* text, shape_table& shapes) {
    return read_real_field<Width, Decimals>({text, Width}, shapes);
  }
};

// Count Iw fields side by side.
template <std::size_t Width, std::size_t Count>
row_result read_integer_row(const char* columns, std::int32_t* values, shape_table& shapes) {
  static_assert(Count >= 1 && Count <= 32);
  const row_result result = read_marked_fields<integer_fields<Width>>(
      columns, values, static_cast<std::uint32_t>((std::uint64_t{1} << Count) - 1), shapes);
  return result.failure == field_failure::none ? row_result{Count} : result;
}

// Count Fw.d fields side by side. The row is classified at once where its
// fields can be in the shape a listing prints them (written_rows.hpp): those
// are converted there, whatever their neighbours hold, and only the others go
// through the one scanner.
template <std::size_t Width, std::int32_t Decimals, std::size_t Count>
row_result read_real_row(const char* columns, float* values, shape_table& shapes) {
  static_assert(Count >= 1 && Count <= 32);
  auto others = static_cast<std::uint32_t>((std::uint64_t{1} << Count) - 1);
  if constexpr (written_rows::takes<Width, Decimals, Count>) {
    others = written_rows::read<Decimals, Count>(columns, values);
    if (others == 0) [[likely]] {
      return {Count};
    }
  }
  const row_result result =
      read_marked_fields<real_fields<Width, Decimals>>(columns, values, others, shapes);
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
