#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "records/detail/field_limits.hpp"

namespace records::detail {

// The editing functions fill a field of exactly Width columns from `field` on.

// "00" to "99", so that one division by 100 places two digits.
inline constexpr std::array<char, 200> digit_pairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Places the lowest `count` digits of `value` right to left before `out` and
// removes them from `value`; returns where they start.
template <typename Unsigned>
char* place_low_digits(Unsigned& value, std::size_t count, char* out) {
  for (; count >= 2; count -= 2) {
    out -= 2;
    std::memcpy(out, &digit_pairs[2 * static_cast<std::size_t>(value % 100)], 2);
    value /= 100;
  }
  if (count == 1) {
    *--out = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out;
}

template <typename Unsigned>
std::size_t decimal_length(Unsigned value) {
  std::size_t length = 1;
  for (; value >= 10; value /= 10)
    ++length;
  return length;
}

// Iw with the width given while running: the body of write_integer_field.
inline void edit_integer(std::int32_t value, std::size_t width, char* field) {
  const bool negative = value < 0;
  // Unsigned negation is defined for the most negative value too.
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (negative) magnitude = 0u - magnitude;
  const std::size_t length = decimal_length(magnitude);
  if (length + (negative ? 1 : 0) > width) {
    std::memset(field, '*', width);
    return;
  }
  char* out = place_low_digits(magnitude, length, field + width);
  if (negative) *--out = '-';
  std::memset(field, ' ', static_cast<std::size_t>(out - field));
}

// Iw: the value right-justified, w asterisks when it needs more columns.
template <std::size_t Width>
void write_integer_field(std::int32_t value, char* field) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  edit_integer(value, Width, field);
}

// The general route of write_real_field, for any value, width and decimals:
// through std::to_chars, with infinities and not-a-number as asterisks. Only
// write_real_field comes here (tests compare the two routes).
[[gnu::noinline, gnu::cold]] void write_real_field_by_text(float value, std::size_t width,
                                                           std::size_t decimals, char* field);

// 10^d for d <= 9; a binary32 significand has 24 bits and 5^9 < 2^21, so the
// value widened to double and scaled by one of these is exact.
inline constexpr std::array<double, 10> exact_scales = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                        1e5, 1e6, 1e7, 1e8, 1e9};

inline constexpr std::array<std::uint32_t, 10> powers_of_ten_u32 = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// The six lowest decimal digits of a number below 10^6, leading zeros
// included, as ASCII bytes of one word, the first digit in the lowest byte.
// The number times 2^32 / 10^4 (rounded up) holds its first two digits in the
// high half and the rest as a binary fraction below them; each multiplication
// of the fraction by 100 brings the next two up. Exact for every number below
// 10^6.
inline std::uint64_t six_ascii_digits(std::uint32_t number) {
  const auto pair = [](std::uint64_t two_digits) {
    std::uint16_t ascii = 0;
    std::memcpy(&ascii, &digit_pairs[2 * two_digits], 2);
    return std::uint64_t{ascii};
  };
  std::uint64_t scaled = std::uint64_t{number} * 429497;
  std::uint64_t ascii = pair(scaled >> 32);
  scaled = (scaled & 0xFFFFFFFF) * 100;
  ascii |= pair(scaled >> 32) << 16;
  scaled = (scaled & 0xFFFFFFFF) * 100;
  return ascii | (pair(scaled >> 32) << 32);
}

// The commonest text of all, one digit before the point ("  -0.21051" in
// F10.5), as one word: the last eight columns, blanks before them. `digits` is
// the value scaled by 10^Decimals and rounded, below 10^(Decimals + 1).
template <std::size_t Width, std::size_t Decimals>
[[gnu::always_inline]] inline void place_unit_digit_text(std::uint32_t digits, bool negative,
                                                         char* field) {
  static_assert(Decimals >= 1 && Decimals <= 5 && Width >= 8);
  // The six digits moved to where the last eight columns hold them: the
  // fraction at the end, the unit digit before the point, the sign before it,
  // blanks before that.
  const std::uint64_t ascii = six_ascii_digits(digits);
  constexpr int point_at = 7 - static_cast<int>(Decimals);
  constexpr std::uint64_t fraction = ~std::uint64_t{0} << (8 * (point_at + 1));
  constexpr std::uint64_t unit = std::uint64_t{0xFF} << (8 * (point_at - 1));
  constexpr std::uint64_t blanks =
      0x2020202020202020 & ((std::uint64_t{1} << (8 * (point_at - 2))) - 1);
  const std::uint64_t sign = negative ? std::uint64_t{'-'} : std::uint64_t{' '};
  std::uint64_t last_eight = ((ascii << 16) & fraction) | ((ascii << 8) & unit) |
                             (std::uint64_t{'.'} << (8 * point_at)) |
                             (sign << (8 * (point_at - 2))) | blanks;
  if constexpr (std::endian::native == std::endian::big) {
    last_eight = __builtin_bswap64(last_eight);
  }
  std::memset(field, ' ', Width - 8);
  std::memcpy(field + Width - 8, &last_eight, 8);
}

// Any text of a value whose scaled digits fit 32 bits, built right to left
// among blanks and copied to the field whole; false, with nothing written, when
// it does not fit.
template <std::size_t Width, std::size_t Decimals>
bool place_text(std::uint32_t digits, bool negative, char* field) {
  constexpr std::size_t room = 32;
  static_assert(Width <= room && Decimals <= 9);
  char text[room];
  std::memset(text, ' ', room);
  char* const end = text + room;
  char* out = place_low_digits(digits, Decimals, end);
  *--out = '.';
  // The integer digits may use the columns left after the sign's; a lone zero
  // is left out where it does not fit.
  const std::size_t taken = Decimals + 1 + (negative ? 1 : 0);
  if (taken > Width) return false;
  if (digits == 0) {
    if (taken < Width) *--out = '0';
  } else if (decimal_length(digits) > Width - taken) {
    return false;
  } else {
    out = place_low_digits(digits, decimal_length(digits), out);
  }
  if (negative) *--out = '-';
  std::memcpy(field, end - Width, Width);
  return true;
}

// A value below 2^32 rounded to an integer, ties to even: adding 2^52 leaves no
// bits for a fraction, so the addition itself rounds.
inline std::uint32_t rounded(double scaled) {
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled + 0x1p52) -
                                    (std::int64_t{1} << 52));
}

// Fw.d for every value but those of the commonest text: the text of any value
// whose scaled digits fit 32 bits, else the general route.
template <std::size_t Width, std::size_t Decimals>
[[gnu::noinline]] void write_other_real_values(float value, char* field) {
  if constexpr (Decimals <= 9 && Width <= 32) {
    const double scaled = std::fabs(static_cast<double>(value)) * exact_scales[Decimals];
    if (scaled < 4294967295.0) {
      if (!place_text<Width, Decimals>(rounded(scaled), std::signbit(value), field)) {
        std::memset(field, '*', Width);
      }
      return;
    }
  }
  write_real_field_by_text(value, Width, Decimals, field);
}

// Fw.d: the binary32 value, widened exactly, rounded to d decimals (ties to
// even), right-justified. The "0" before the point is dropped when only that
// makes the text fit; a negative value keeps its "-" even when every digit
// rounds to zero. Values that do not fit, infinities and not-a-number give w
// asterisks. The value scaled by 10^d is exact in a double; while it fits 32
// bits it is rounded once, and the commonest text, one digit before the point,
// is built as one word; every other value takes write_other_real_values.
template <std::size_t Width, std::size_t Decimals>
[[gnu::always_inline]] inline void write_real_field(float value, char* field) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  static_assert(Decimals <= Width);
  if constexpr (Decimals >= 1 && Decimals <= 5 && Width >= 8) {
    const double scaled = std::fabs(static_cast<double>(value)) * exact_scales[Decimals];
    // Not-a-number compares false too.
    if (scaled < static_cast<double>(powers_of_ten_u32[Decimals + 1]) - 0.5) [[likely]] {
      place_unit_digit_text<Width, Decimals>(rounded(scaled), std::signbit(value), field);
      return;
    }
  }
  write_other_real_values<Width, Decimals>(value, field);
}

}  // namespace records::detail
