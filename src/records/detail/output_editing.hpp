#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace records::detail {

// The editing functions fill a field of exactly field.size() columns.

// Iw: the value right-justified, w asterisks when it needs more columns.
void write_integer_field(std::int32_t value, std::span<char> field);

template <std::size_t Width>
void write_integer_field(std::int32_t value, char* field) {
  write_integer_field(value, std::span<char>(field, Width));
}

// Fw.d: the binary32 value, widened exactly, rounded to d decimals (ties to even),
// right-justified. The "0" before the point is dropped when only that makes the
// text fit; a negative value keeps its "-" even when every digit rounds to zero.
// Values that do not fit, infinities and not-a-number give w asterisks.
void write_real_field(float value, std::int32_t decimals, std::span<char> field);

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

// 10^d for d <= 12; a binary32 significand has 24 bits and 5^12 < 2^29, so the
// value widened to double and scaled by one of these is exact.
inline constexpr std::array<double, 13> exact_scales = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                                        1e7, 1e8, 1e9, 1e10, 1e11, 1e12};

inline constexpr std::array<std::uint32_t, 10> powers_of_ten_u32 = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// The eight decimal digits of a number below 10^8, leading zeros included, as
// ASCII bytes of one word, the first digit in the lowest byte: the number is
// split into halves of four digits, each half into two-digit pairs, each pair
// into digits, every split done in all lanes by one multiplication.
constexpr std::uint64_t eight_ascii_digits(std::uint32_t number) {
  const std::uint64_t halves = (number / 10000) | (std::uint64_t{number % 10000} << 32);
  // x * 10486 >> 20 is x / 100 for every x below 10^4.
  const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007F;
  const std::uint64_t pairs = hundreds | ((halves - 100 * hundreds) << 16);
  // x * 103 >> 10 is x / 10 for every x below 100.
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000F;
  return (tens | ((pairs - 10 * tens) << 8)) | 0x3030303030303030;
}

// Fw.d with w and d known while compiling, as for the one repeated field of a
// statement such as "(12F10.5)". A value whose scaled digits fit 32 bits takes
// one exact multiplication and one rounding, ties to even; the text is built
// right-justified among blanks and copied to the field whole, each column once.
// Any other value, an infinity or not-a-number goes to the general editing,
// which gives the same.
template <std::size_t Width, std::size_t Decimals>
void write_real_field(float value, char* field) {
  constexpr std::size_t room = 16;
  if constexpr (Decimals > 9 || Width < Decimals + 2 || Width > room) {
    write_real_field(value, static_cast<std::int32_t>(Decimals), {field, Width});
  } else {
    const double scaled = std::fabs(static_cast<double>(value)) * exact_scales[Decimals];
    if (!(scaled < 4294967295.0)) [[unlikely]] {
      write_real_field(value, static_cast<std::int32_t>(Decimals), {field, Width});
      return;
    }
    // Below 2^52, adding 2^52 leaves no bits for a fraction: the addition itself
    // rounds to an integer, to even on a tie.
    auto digits = static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled + 0x1p52) -
                                             (std::int64_t{1} << 52));
    const bool negative = std::signbit(value);
    // The commonest text of all, one digit before the point ("  -0.21051"), as
    // one word: the last eight columns, blanks before them.
    if constexpr (Decimals >= 1 && Decimals <= 5 && Width >= 8) {
      if (digits < powers_of_ten_u32[Decimals + 1]) {
        // The digits padded to eight, byte for byte as the last eight columns
        // hold them: the fraction in its place, the unit digit moved down one
        // column for the point, the sign before it, blanks before that.
        const std::uint64_t ascii = eight_ascii_digits(digits);
        constexpr int point_at = 7 - static_cast<int>(Decimals);
        constexpr std::uint64_t fraction = ~std::uint64_t{0} << (8 * (point_at + 1));
        constexpr std::uint64_t unit = std::uint64_t{0xFF} << (8 * (point_at - 1));
        constexpr std::uint64_t blanks =
            0x2020202020202020 & ((std::uint64_t{1} << (8 * (point_at - 2))) - 1);
        const std::uint64_t sign = negative ? std::uint64_t{'-'} : std::uint64_t{' '};
        std::uint64_t last_eight = (ascii & fraction) | ((ascii >> 8) & unit) |
                                   (std::uint64_t{'.'} << (8 * point_at)) |
                                   (sign << (8 * (point_at - 2))) | blanks;
        if constexpr (std::endian::native == std::endian::big) {
          last_eight = __builtin_bswap64(last_eight);
        }
        std::memset(field, ' ', Width - 8);
        std::memcpy(field + Width - 8, &last_eight, 8);
        return;
      }
    }
    char text[room];
    std::memset(text, ' ', room);
    char* const end = text + room;
    char* out = place_low_digits(digits, Decimals, end);
    *--out = '.';
    // The integer digits may use the columns after the sign's; a lone zero is
    // left out where it does not fit.
    char* const first = end - Width + (negative ? 1 : 0);
    if (digits == 0) {
      if (out != first) *--out = '0';
    } else {
      do {
        if (out == first) {
          std::memset(field, '*', Width);
          return;
        }
        *--out = static_cast<char>('0' + digits % 10);
        digits /= 10;
      } while (digits != 0);
    }
    if (negative) *--out = '-';
    std::memcpy(field, end - Width, Width);
  }
}

}  // namespace records::detail
