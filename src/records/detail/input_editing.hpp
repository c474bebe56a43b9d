#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace records::detail {

// Why a numeric field could not be converted.
enum class field_failure : std::uint8_t {
  none,
  malformed,     // a character that cannot belong to the number, or no digits at all
  sign_only,     // a sign with nothing after it
  out_of_range,  // an I field beyond the signed 32-bit range
  too_wide,      // wider than any field a format can describe
};

// Plain words for a failure, for the report; empty where the field text says it all.
std::string_view failure_detail(field_failure failure);

template <typename T>
struct field_result {
  T value{};
  field_failure failure = field_failure::none;
};

// A numeric field's text, scanned once. Blanks are ignored anywhere. The number
// is an optional sign, a mantissa of digits with at most one point, and an
// optional exponent ("E", "e", "D" or "d" with an optional sign, or a bare sign,
// then digits). Its value is mantissa x 10^exponent, exactly while the mantissa
// has at most 19 digits. Every conversion starts from this.
struct decomposed_number {
  static constexpr std::uint8_t negative = 1;
  static constexpr std::uint8_t point = 2;
  static constexpr std::uint8_t exponent_given = 4;
  static constexpr std::uint8_t too_many_digits = 8;  // the mantissa is not exact

  std::uint64_t mantissa = 0;     // the mantissa's digits as one integer
  std::int32_t exponent = 0;      // the explicit exponent less the fraction digits
  std::uint8_t digit_count = 0;   // mantissa digits, leading zeros included
  std::uint8_t mantissa_end = 0;  // where the mantissa ends in the field
  std::uint8_t flags = 0;
  field_failure failure = field_failure::none;

  bool has(std::uint8_t flag) const { return (flags & flag) != 0; }
};
// Sixteen bytes of integers: passed and returned in two registers.
static_assert(sizeof(decomposed_number) == 16);

// What a scan has gathered of the mantissa so far.
struct mantissa_scan {
  std::uint64_t mantissa = 0;
  std::int32_t digits = 0;
  std::int32_t fraction_digits = 0;
  bool point = false;
};

// A scan from `at` on, with what was gathered before it: the general case of
// scan_number, for a blank inside the number, an exponent, or any other byte.
[[gnu::noinline]] decomposed_number scan_number_rest(std::string_view field, const char* at,
                                                     bool negative, bool signed_field,
                                                     mantissa_scan scan, std::int32_t decimals);

// The lowest `count` bytes of a word set, count from 0 to 8.
constexpr std::uint64_t low_bytes(int count) {
  return count >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * count)) - 1;
}

// Eight digit values, one a byte, the first (most significant) in the lowest,
// joined pairwise into one number: two-digit values in every other byte,
// four-digit ones in every other 16 bits, then the whole.
constexpr std::uint64_t join_digits(std::uint64_t columns) {
  std::uint64_t value = (columns * 10 + (columns >> 8)) & 0x00FF00FF00FF00FF;
  value = (value * 100 + (value >> 16)) & 0x0000FFFF0000FFFF;
  return (value * 10000 + (value >> 32)) & 0xFFFFFFFF;
}

// The columns of a field of at most eight, as one 64-bit word with a column a
// byte, the last in the highest and blanks before the first.
template <std::size_t Width>
[[gnu::always_inline]] inline std::uint64_t field_word(const char* columns) {
  static_assert(Width >= 1 && Width <= 8);
  std::uint64_t loaded = 0;
  std::memcpy(&loaded, columns, Width);
  if constexpr (Width == 8) {
    return loaded;
  } else {
    constexpr std::uint64_t blanks = 0x2020202020202020 >> (8 * Width);
    return (loaded << (8 * (8 - Width))) | blanks;
  }
}

// The commonest field of a listing, a number with one digit before the point
// that fills its field ("-0.21051" in F8.5): blanks, perhaps a sign, the digit,
// the point in PointColumn and digits to the end, counted as in
// scan_short_field. Its at most seven digits are the whole mantissa, and the
// value is mantissa / 10^(7 - PointColumn), exact in one division. Checked with
// constant masks only; false, with nothing set, for any other bytes.
template <std::size_t Width, int PointColumn>
[[gnu::always_inline]] inline bool scan_unit_digit_field(const char* columns,
                                                         std::uint32_t& mantissa, bool& negative) {
  static_assert(Width >= 1 && Width <= 8 && PointColumn >= 2 && PointColumn <= 7);
  constexpr std::uint64_t ones = 0x0101010101010101;
  constexpr std::uint64_t high_bits = ones * 0x80;
  constexpr std::uint64_t point_column = low_bytes(PointColumn + 1) ^ low_bytes(PointColumn);
  constexpr std::uint64_t fraction_columns = ~low_bytes(PointColumn + 1);
  constexpr std::uint64_t unit_digit = low_bytes(PointColumn) ^ low_bytes(PointColumn - 1);
  constexpr std::uint64_t blank_columns = low_bytes(PointColumn - 2);
  if constexpr (std::endian::native != std::endian::little) return false;
  const std::uint64_t word = field_word<Width>(columns);
  const std::uint64_t values = word ^ (ones * '0');  // a digit's byte becomes 0 to 9
  // A byte's high bit is clear exactly when it is a digit; the low seven bits are
  // added apart, so no carry reaches the next byte.
  const std::uint64_t not_digits = (((values & ~high_bits) + ones * 0x76) | values) & high_bits;
  const auto sign = static_cast<char>(word >> (8 * (PointColumn - 2)));
  if ((not_digits & (fraction_columns | unit_digit)) != 0 ||
      (word & point_column) != ((ones * '.') & point_column) ||
      ((word ^ (ones * ' ')) & blank_columns) != 0 || (sign != ' ' && sign != '-' && sign != '+')) {
    return false;
  }
  negative = sign == '-';
  mantissa = static_cast<std::uint32_t>(
      join_digits(((values & unit_digit) << 8) | (values & fraction_columns)));
  return true;
}

// The commonest integer field, digits right-justified among blanks ("  17" in
// I4), taken whole like scan_unit_digit_field: false, with nothing set, for
// any other bytes, a sign among them.
template <std::size_t Width>
[[gnu::always_inline]] inline bool scan_unsigned_field(const char* columns, std::uint32_t& value) {
  static_assert(Width >= 1 && Width <= 8);
  constexpr std::uint64_t ones = 0x0101010101010101;
  constexpr std::uint64_t high_bits = ones * 0x80;
  if constexpr (std::endian::native != std::endian::little) return false;
  const std::uint64_t word = field_word<Width>(columns);
  const std::uint64_t values = word ^ (ones * '0');
  const std::uint64_t not_digits = (((values & ~high_bits) + ones * 0x76) | values) & high_bits;
  // The other columns as all-ones bytes: a run from the first column, all blanks.
  const std::uint64_t others = (not_digits >> 7) * 0xFF;
  if ((others & (others + 1)) != 0 || others == ~std::uint64_t{0} ||
      ((word ^ (ones * ' ')) & others) != 0) {
    return false;
  }
  value = static_cast<std::uint32_t>(join_digits(values & ~others));
  return true;
}

// A field of at most eight columns in the shape a format gives a number that
// fills it: leading blanks, an optional sign, digits, and, when PointColumn < 8,
// a point with digits after it to the end, such as " -0.21051" in F8.5. The
// field is taken as one 64-bit word, a column a byte, the last in the highest
// and blanks before the first; PointColumn counts in that word. False, with
// `number` unset, for any other bytes: the bytewise scan then takes the field.
template <std::size_t Width, int PointColumn>
[[gnu::always_inline]] inline bool scan_short_field(const char* columns, std::int32_t decimals,
                                                    decomposed_number& number) {
  static_assert(Width >= 1 && Width <= 8 && PointColumn >= 1 && PointColumn <= 8);
  constexpr std::uint64_t ones = 0x0101010101010101;
  constexpr std::uint64_t high_bits = ones * 0x80;
  constexpr bool has_point = PointColumn < 8;
  // Bytes below the point, and the point's byte; without a point, all and none.
  constexpr std::uint64_t integer_columns = low_bytes(PointColumn);
  constexpr std::uint64_t point_column = low_bytes(PointColumn + 1) ^ integer_columns;
  constexpr std::uint64_t fraction_columns = ~(integer_columns | point_column);
  if constexpr (std::endian::native != std::endian::little) return false;
  const std::uint64_t word = field_word<Width>(columns);
  const std::uint64_t values = word ^ (ones * '0');  // a digit's byte becomes 0 to 9
  // A byte's high bit is clear exactly when it is a digit; the low seven bits are
  // added apart, so no carry reaches the next byte.
  const std::uint64_t not_digits = (((values & ~high_bits) + ones * 0x76) | values) & high_bits;
  const std::uint64_t digits = ~not_digits & high_bits;
  if ((digits & fraction_columns) != (high_bits & fraction_columns)) return false;
  if ((word & point_column) != ((ones * '.') & point_column)) return false;
  // The integer columns end in a run of digits; the columns before it form a
  // prefix, blanks with perhaps a sign last.
  const std::uint64_t integer_digits = ((digits & integer_columns) >> 7) * 0xFF;
  const std::uint64_t before = integer_columns ^ integer_digits;
  if (integer_digits == 0 || (before & (before + 1)) != 0) return false;
  number = {};
  if (const std::uint64_t not_blank = (word ^ (ones * ' ')) & before; not_blank != 0) {
    const std::uint64_t last = before ^ (before >> 8);
    const std::uint64_t sign = word & last;
    if ((not_blank & ~last) != 0) return false;
    if (sign == ((ones * '-') & last)) {
      number.flags = decomposed_number::negative;
    } else if (sign != ((ones * '+') & last)) {
      return false;
    }
  }
  // Blanks and sign read as leading zeros; the point is taken out by moving the
  // integer columns up one, over it.
  std::uint64_t mantissa_columns = values & ~before;
  if constexpr (has_point) {
    mantissa_columns =
        ((mantissa_columns & integer_columns) << 8) | (mantissa_columns & fraction_columns);
    number.flags |= decomposed_number::point;
    number.exponent = PointColumn - 7;
  } else {
    number.exponent = -decimals;
  }
  number.mantissa = join_digits(mantissa_columns);
  // The digits counted by summing their bytes into the top one.
  number.digit_count = static_cast<std::uint8_t>(((digits >> 7) * ones) >> 56);
  number.mantissa_end = static_cast<std::uint8_t>(Width);
  return true;
}

// Where a number that fills a field has its point, counted in the 64-bit word of
// scan_short_field: d decimals put it d + 1 columns from the end; an integer
// field has none.
constexpr int filled_point_column(std::int32_t decimals, bool integer) {
  return integer || decimals > 6 ? 8 : 7 - decimals;
}

// The bytewise scan of a field of at most max_field_width (255) bytes. Tight
// loops take the usual shape (leading blanks, an optional sign, digits with at
// most one point); at any other byte the scan goes on in scan_number_rest with
// what it has gathered.
[[gnu::always_inline]] inline decomposed_number scan_number_bytewise(std::string_view field,
                                                                     std::int32_t decimals) {
  const char* at = field.data();
  const char* const end = at + field.size();
  while (at != end && *at == ' ')
    ++at;
  if (at == end) return {};  // all blank: zero
  const bool signed_field = *at == '-' || *at == '+';
  const bool negative = *at == '-';
  if (signed_field) ++at;
  mantissa_scan scan;
  const char* const first_digit = at;
  for (; at != end && static_cast<unsigned char>(*at - '0') <= 9; ++at)
    scan.mantissa = scan.mantissa * 10 + static_cast<unsigned char>(*at - '0');
  scan.digits = static_cast<std::int32_t>(at - first_digit);
  if (at != end && *at == '.') {
    scan.point = true;
    const char* const first_fraction = ++at;
    for (; at != end && static_cast<unsigned char>(*at - '0') <= 9; ++at)
      scan.mantissa = scan.mantissa * 10 + static_cast<unsigned char>(*at - '0');
    scan.fraction_digits = static_cast<std::int32_t>(at - first_fraction);
    scan.digits += scan.fraction_digits;
  }
  if (at != end || scan.digits == 0 || scan.digits > 19) [[unlikely]] {
    return scan_number_rest(field, at, negative, signed_field, scan, decimals);
  }
  decomposed_number number;
  number.mantissa = scan.mantissa;
  number.exponent = -(scan.point ? scan.fraction_digits : decimals);
  number.digit_count = static_cast<std::uint8_t>(scan.digits);
  number.mantissa_end = static_cast<std::uint8_t>(field.size());
  number.flags = static_cast<std::uint8_t>((negative ? decomposed_number::negative : 0) |
                                           (scan.point ? decomposed_number::point : 0));
  return number;
}

// Scans a field of at most max_field_width (255) bytes, once. Without a point the
// last `decimals` digits of the mantissa are its fraction; a point overrides them.
// A field of Width <= 8 columns is first taken whole, its point (if any) looked
// for where PointColumn says.
template <std::size_t Width, int PointColumn>
[[gnu::always_inline]] inline decomposed_number scan_number(std::string_view field,
                                                            std::int32_t decimals) {
  if constexpr (Width <= 8) {
    decomposed_number number;
    if (scan_short_field<Width, PointColumn>(field.data(), decimals, number)) return number;
  }
  return scan_number_bytewise(field, decimals);
}

// The same for a width and point worked out while running: eight-column fields
// are taken whole.
inline decomposed_number scan_number(std::string_view field, std::int32_t decimals, bool integer) {
  if (field.size() != 8) return scan_number_bytewise(field, decimals);
  switch (filled_point_column(decimals, integer)) {
    case 1:
      return scan_number<8, 1>(field, decimals);
    case 2:
      return scan_number<8, 2>(field, decimals);
    case 3:
      return scan_number<8, 3>(field, decimals);
    case 4:
      return scan_number<8, 4>(field, decimals);
    case 5:
      return scan_number<8, 5>(field, decimals);
    case 6:
      return scan_number<8, 6>(field, decimals);
    case 7:
      return scan_number<8, 7>(field, decimals);
    default:
      return scan_number<8, 8>(field, decimals);
  }
}

// Iw: an all-blank field is 0; a point or an exponent has no place in it.
field_result<std::int32_t> integer_value_slowly(decomposed_number number, std::string_view field);

inline field_result<std::int32_t> integer_value(decomposed_number number, std::string_view field) {
  constexpr std::uint8_t not_plain = decomposed_number::point | decomposed_number::exponent_given |
                                     decomposed_number::too_many_digits;
  if (number.failure != field_failure::none || (number.flags & not_plain) != 0) [[unlikely]] {
    return integer_value_slowly(number, field);
  }
  const bool negative = number.has(decomposed_number::negative);
  const std::uint64_t limit = (std::uint64_t{1} << 31) - (negative ? 0 : 1);
  if (number.mantissa > limit) [[unlikely]] {
    return {0, field_failure::out_of_range};
  }
  // Negated as unsigned, so that -2^31 needs no signed overflow.
  const auto magnitude = static_cast<std::uint32_t>(number.mantissa);
  return {static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude)};
}

// The std::from_chars route of real_value, for any number.
field_result<float> real_value_by_text(decomposed_number number, std::string_view field);

// 10^k for k <= 10 is exact in binary32, as is every integer up to 2^24, so one
// division (or multiplication) of the two rounds the decimal value once, correctly.
inline constexpr std::array<float, 11> exact_powers_of_ten = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                              1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// Fw.d: the value rounded once to the nearest binary32, ties to even; beyond the
// largest finite binary32 it is infinity and below the smallest subnormal it is
// zero, with the sign. One exact division serves the common shapes; the rest go
// through std::from_chars, from the same scan and the field's digits.
inline field_result<float> real_value(decomposed_number number, std::string_view field) {
  if (number.failure == field_failure::none && !number.has(decomposed_number::too_many_digits) &&
      number.mantissa <= (std::uint64_t{1} << 24) && number.exponent >= -10 &&
      number.exponent <= 10) [[likely]] {
    const auto mantissa = static_cast<float>(number.mantissa);
    const float magnitude =
        number.exponent < 0
            ? mantissa / exact_powers_of_ten[static_cast<std::size_t>(-number.exponent)]
            : mantissa * exact_powers_of_ten[static_cast<std::size_t>(number.exponent)];
    return {number.has(decomposed_number::negative) ? -magnitude : magnitude};
  }
  return real_value_by_text(number, field);
}

// The conversions of a field of Width columns, the point of a number that fills
// it in PointColumn (see scan_short_field). The common shape never leaves
// registers: its decomposition goes straight to the value, apart from the
// bytewise route that every other field takes.
// Every shape but the commonest, out of line and shared by all the fields of one
// width: a statement inlines only the word-at-a-time scan of its fields.
template <std::size_t Width>
[[gnu::noinline]] field_result<std::int32_t> read_integer_field_other_shapes(
    std::string_view field) {
  if constexpr (Width <= 8) {
    decomposed_number number;
    if (scan_short_field<Width, filled_point_column(0, true)>(field.data(), 0, number)) {
      return integer_value(number, field);
    }
  }
  return integer_value(scan_number_bytewise(field, 0), field);
}

template <std::size_t Width, std::int32_t Decimals>
[[gnu::noinline]] field_result<float> read_real_field_other_shapes(std::string_view field) {
  if constexpr (Width <= 8) {
    decomposed_number number;
    if (scan_short_field<Width, filled_point_column(Decimals, false)>(field.data(), Decimals,
                                                                      number)) {
      return real_value(number, field);
    }
  }
  return real_value(scan_number_bytewise(field, Decimals), field);
}

template <std::size_t Width>
[[gnu::always_inline]] inline field_result<std::int32_t> read_integer_field(
    std::string_view field) {
  if constexpr (Width <= 8) {
    // Eight digits or fewer always fit.
    if (std::uint32_t value = 0; scan_unsigned_field<Width>(field.data(), value)) {
      return {static_cast<std::int32_t>(value)};
    }
  }
  return read_integer_field_other_shapes<Width>(field);
}

template <std::size_t Width, std::int32_t Decimals>
[[gnu::always_inline]] inline field_result<float> read_real_field(std::string_view field) {
  constexpr int point_column = filled_point_column(Decimals, false);
  if constexpr (Width <= 8 && point_column >= 2 && point_column <= 7) {
    std::uint32_t mantissa = 0;
    bool negative = false;
    if (scan_unit_digit_field<Width, point_column>(field.data(), mantissa, negative)) {
      const float magnitude = static_cast<float>(mantissa) / exact_powers_of_ten[7 - point_column];
      return {negative ? -magnitude : magnitude};
    }
  }
  return read_real_field_other_shapes<Width, Decimals>(field);
}

// The whole conversions of a field's text.
field_result<std::int32_t> read_integer_field(std::string_view field);
field_result<float> read_real_field(std::string_view field, std::int32_t decimals);

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
