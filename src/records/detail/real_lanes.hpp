#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "records/detail/digit_pairs.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The text of Fw.d values four at a time, in 16-bit lanes, each lane one column
// of a field: a field's columns 0-7 are one 64-bit half of a vector, its columns
// 8 to w - 1 another. The value scaled by 10^d (exact in a double) is rounded
// once to an integer N; N is split into the numbers its digit columns spell in
// columns 0-3, 4-7 and 8 on, and each lane divides its number by the power of
// ten of the digit columns to its right (Mula's division by multiply-high);
// a lane less ten times its left neighbour is its digit. The point's lane is
// masked out. Leading zeros before the unit digit turn to blanks, the last of
// them to "-" for a negative value.
namespace records::detail::real_lanes {

#if defined(__SSE2__)

// The fields the lanes take: eight to twelve columns, the unit digit in columns
// 0-7 with room for a sign before it.
template <std::size_t Width, std::size_t Decimals>
inline constexpr bool takes =
    Width >= 8 && Width <= 12 && Decimals + 3 <= Width&& Decimals + 9 >= Width;

constexpr std::int32_t power_of_ten(int exponent) {
  std::int32_t power = 1;
  for (int k = 0; k < exponent; ++k)
    power *= 10;
  return power;
}

// x / 10^r for x < 10^4 given as 4x: the high half of 4x times `divide`, then
// of that times `shift`, a right shift by a power of two.
struct lane_division {
  std::uint16_t divide;
  std::uint16_t shift;
};
inline constexpr std::array<lane_division, 5> divisions = {{
    {0x8000, 1 << 15},  // 10^0
    {13108, 1 << 13},   // 10^1
    {5243, 1 << 11},    // 10^2
    {8389, 1 << 7},     // 10^3
    {0, 1 << 15},       // 10^4: nothing left below 10^4
}};

constexpr bool divisions_exact() {
  for (int r = 0; r < 5; ++r) {
    const auto [divide, shift] = divisions[static_cast<std::size_t>(r)];
    for (std::uint32_t x = 0; x < 10000; ++x) {
      const std::uint32_t high = (4 * x * divide) >> 16;
      if (((high * shift) >> 16) != x / static_cast<std::uint32_t>(power_of_ten(r))) return false;
    }
  }
  return true;
}
static_assert(divisions_exact());

template <std::size_t Width, std::size_t Decimals>
struct layout {
  static constexpr int width = static_cast<int>(Width);
  static constexpr int point = width - static_cast<int>(Decimals) - 1;
  // The columns from the first to the unit digit's left neighbour, whose zeros
  // lead.
  static constexpr int leading = point - 1;

  static constexpr bool is_digit(int column) { return column != point && column < width; }
  static constexpr int digits_in(int from, int to) {
    int count = 0;
    for (int column = from; column < to; ++column)
      count += is_digit(column) ? 1 : 0;
    return count;
  }
  // Digit columns in columns 0-3, 4-7 and 8-11.
  static constexpr int first_digits = digits_in(0, 4);
  static constexpr int second_digits = digits_in(4, 8);
  static constexpr int tail_digits = digits_in(8, 12);
  // One or two digits after column 7, and no point: placed from a table.
  static constexpr bool tail_by_pairs = width > 8 && tail_digits == width - 8 && tail_digits <= 2;

  // Scaled values below these fit the field, without and with a sign; and
  // below 10^9, whose digits an int32 lane holds.
  static constexpr std::int32_t positive_limit = power_of_ten(width - 1 < 9 ? width - 1 : 9);
  static constexpr std::int32_t negative_limit = power_of_ten(width - 2 < 9 ? width - 2 : 9);
  // The largest scaled value with no digit before the unit digit; every value
  // the lanes take, past nine decimals.
  static constexpr std::int32_t largest_unit_digit_only =
      Decimals + 1 < 10 ? power_of_ten(static_cast<int>(Decimals) + 1) - 1 : INT32_MAX;

  // The lanes of a group of four columns from `from`: each divides by 10^(digit
  // columns to its right in the group). The point divides as its left
  // neighbour, so that the digit after it still finds ten times its
  // neighbour's quotient there.
  template <bool Divide>
  static constexpr std::array<std::uint16_t, 8> group_constants(int from_first, int from_second) {
    std::array<std::uint16_t, 8> lanes{};
    for (int k = 0; k < 8; ++k) {
      const int column = (k < 4 ? from_first : from_second) + k % 4;
      const int group_end = (k < 4 ? from_first : from_second) + 4;
      const lane_division division =
          divisions[static_cast<std::size_t>(digits_in(column + 1, group_end))];
      lanes[static_cast<std::size_t>(k)] = Divide ? division.divide : division.shift;
    }
    return lanes;
  }
  static constexpr auto head_divide = group_constants<true>(0, 4);
  static constexpr auto head_shift = group_constants<false>(0, 4);
  static constexpr auto tail_divide = group_constants<true>(8, 8);
  static constexpr auto tail_shift = group_constants<false>(8, 8);

  // Bytes of two values' columns from `from`, eight columns each.
  template <typename Byte>
  static constexpr std::array<std::uint8_t, 16> bytes(int from, Byte byte) {
    std::array<std::uint8_t, 16> all{};
    for (int k = 0; k < 16; ++k)
      all[static_cast<std::size_t>(k)] = byte(from + k % 8);
    return all;
  }
  static constexpr auto mask_of = [](auto keep) {
    return [keep](int column) { return keep(column) ? std::uint8_t{0xFF} : std::uint8_t{0}; };
  };
  static constexpr auto ascii_of = [](int column) {
    return column == point ? std::uint8_t{'.'} : std::uint8_t{'0'};
  };
  static constexpr auto head_digits = bytes(0, mask_of(is_digit));
  static constexpr auto head_ascii = bytes(0, ascii_of);
  static constexpr auto head_leading =
      bytes(0, mask_of([](int column) { return column < leading; }));
  static constexpr auto blanked_leading = bytes(
      0, [](int column) { return column < leading ? std::uint8_t{'0' - ' '} : std::uint8_t{0}; });
  static constexpr auto last_leading =
      bytes(0, mask_of([](int column) { return column == leading - 1; }));
  // The tail: four columns of four values.
  static constexpr auto tail_digits_mask = [] {
    std::array<std::uint8_t, 16> all{};
    for (int k = 0; k < 16; ++k)
      all[static_cast<std::size_t>(k)] = is_digit(8 + k % 4) ? 0xFF : 0;
    return all;
  }();
  static constexpr auto tail_ascii = [] {
    std::array<std::uint8_t, 16> all{};
    for (int k = 0; k < 16; ++k)
      all[static_cast<std::size_t>(k)] = ascii_of(8 + k % 4);
    return all;
  }();
};

template <typename Array>
inline __m128i vector_of(const Array& constants) {
  static_assert(sizeof constants == 16);
  __m128i v;
  std::memcpy(&v, constants.data(), 16);
  return v;
}

// A constant the compiler does not see through: a multiplication by it stays
// one instruction instead of a chain of shifts and additions.
[[gnu::always_inline]] inline __m128i opaque(__m128i constant) {
  __asm__("" : "+x"(constant));
  return constant;
}

// Digits of the numbers in a vector of 4x values, lane by lane.
[[gnu::always_inline]] inline __m128i lane_digits(__m128i fourfold, __m128i divide, __m128i shift,
                                                  __m128i ten) {
  const __m128i quotients = _mm_mulhi_epu16(_mm_mulhi_epu16(fourfold, divide), shift);
  return _mm_sub_epi16(quotients, _mm_slli_epi64(_mm_mullo_epi16(quotients, ten), 16));
}

// Values k and k + 1 of four, [k ... k, k + 1 ... k + 1]: each 16-bit number of
// `pairs` (two per 32-bit lane, already 4x) spread over four lanes.
[[gnu::always_inline]] inline __m128i spread_low(__m128i doubled) {
  return _mm_unpacklo_epi32(doubled, doubled);
}
[[gnu::always_inline]] inline __m128i spread_high(__m128i doubled) {
  return _mm_unpackhi_epi32(doubled, doubled);
}

// The head columns of two values, digits as text, leading zeros blanked and
// the sign placed; `minus` holds 0x0D in the bytes of a negative value. When no
// value has a digit before its unit digit, as for most coefficients, every
// leading column is a zero.
template <typename Layout>
[[gnu::always_inline]] inline __m128i head_text(__m128i first_digits, __m128i second_digits,
                                                __m128i minus, bool unit_digit_only) {
  __m128i text = _mm_packus_epi16(first_digits, second_digits);
  if constexpr (Layout::point % 4 != 0) {
    // The point's lane holds no digit.
    text = _mm_and_si128(text, vector_of(Layout::head_digits));
  }
  text = _mm_add_epi8(text, vector_of(Layout::head_ascii));
  if (unit_digit_only) [[likely]] {
    return _mm_add_epi8(_mm_sub_epi8(text, vector_of(Layout::blanked_leading)),
                        _mm_and_si128(minus, vector_of(Layout::last_leading)));
  }
  // The run of zeros from column 0: adding one to a 64-bit half carries
  // through its all-ones bytes and stops at the first that is not.
  const __m128i zeros =
      _mm_and_si128(_mm_cmpeq_epi8(text, _mm_set1_epi8('0')), vector_of(Layout::head_leading));
  const __m128i leading = _mm_andnot_si128(_mm_add_epi64(zeros, _mm_set1_epi64x(1)), zeros);
  text = _mm_sub_epi8(text, _mm_and_si128(leading, _mm_set1_epi8('0' - ' ')));
  const __m128i last_blank = _mm_xor_si128(leading, _mm_srli_epi64(leading, 8));
  return _mm_add_epi8(text, _mm_and_si128(last_blank, minus));
}

// Four values into four fields of Width columns each; returns the values (a bit
// each) the lanes cannot take, whose fields hold anything.
template <std::size_t Width, std::size_t Decimals>
[[gnu::always_inline]] inline std::uint32_t edit_four(const float* values, std::size_t count,
                                                      char* fields) {
  using parts = layout<Width, Decimals>;
  const __m128 given = _mm_loadu_ps(values);
  const __m128i negative = _mm_srai_epi32(_mm_castps_si128(given), 31);
  const __m128 magnitude = _mm_andnot_ps(_mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)), given);
  const __m128d scale = _mm_set1_pd(static_cast<double>(power_of_ten(static_cast<int>(Decimals))));
  // Rounded to nearest, ties to even; beyond 2^31 and not-a-number give INT32_MIN.
  const __m128i scaled = _mm_unpacklo_epi64(
      _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(magnitude), scale)),
      _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(magnitude, magnitude)), scale)));
  // Compared as unsigned, with the top bits flipped: INT32_MIN fits no limit.
  const __m128i limit = _mm_add_epi32(
      _mm_set1_epi32(parts::positive_limit ^ INT32_MIN),
      _mm_and_si128(negative, _mm_set1_epi32(parts::negative_limit - parts::positive_limit)));
  const __m128i fits = _mm_cmpgt_epi32(limit, _mm_xor_si128(scaled, _mm_set1_epi32(INT32_MIN)));
  const auto refused = static_cast<std::uint32_t>(~_mm_movemask_ps(_mm_castsi128_ps(fits)) & 0xF);

  // The numbers of the digit columns: N = first 10^(second + tail) + second
  // 10^tail + tail; divisions of the exact N in doubles, truncated, are exact.
  const __m128d low = _mm_cvtepi32_pd(scaled);
  const __m128d high = _mm_cvtepi32_pd(_mm_shuffle_epi32(scaled, _MM_SHUFFLE(1, 0, 3, 2)));
  const auto quotient = [&](int digits_below) {
    const __m128d divisor = _mm_set1_pd(static_cast<double>(power_of_ten(digits_below)));
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_div_pd(low, divisor)),
                              _mm_cvttpd_epi32(_mm_div_pd(high, divisor)));
  };
  // A remainder below 10^4 is exact in the low 16 bits of each lane.
  const auto remainder = [](__m128i whole, __m128i part, int digits) {
    return _mm_sub_epi16(
        whole, _mm_mullo_epi16(
                   part, opaque(_mm_set1_epi16(static_cast<std::int16_t>(power_of_ten(digits))))));
  };
  const __m128i ten = opaque(_mm_set1_epi16(10));
  constexpr int tail = parts::tail_digits;
  const __m128i above_tail = tail == 0 ? scaled : quotient(tail);
  __m128i first;
  if constexpr (tail >= 2) {
    // Below 10^7, the number above the tail is exact in binary32, and so is
    // the truncated quotient of any division of it.
    first = _mm_cvttps_epi32(
        _mm_div_ps(_mm_cvtepi32_ps(above_tail),
                   _mm_set1_ps(static_cast<float>(power_of_ten(parts::second_digits)))));
  } else {
    first = quotient(parts::second_digits + tail);
  }
  const __m128i second = remainder(above_tail, first, parts::second_digits);
  // 4x of first and second, side by side in each 32-bit lane.
  const __m128i head_numbers = _mm_slli_epi16(_mm_or_si128(first, _mm_slli_epi32(second, 16)), 2);
  const __m128i head_divide = vector_of(parts::head_divide);
  const __m128i head_shift = vector_of(parts::head_shift);
  const __m128i pairs_low = _mm_unpacklo_epi16(head_numbers, head_numbers);
  const __m128i pairs_high = _mm_unpackhi_epi16(head_numbers, head_numbers);
  const __m128i minus = _mm_and_si128(negative, _mm_set1_epi8('-' - ' '));
  const bool unit_digit_only = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(
                                   scaled, _mm_set1_epi32(parts::largest_unit_digit_only)))) == 0;
  const __m128i heads_01 =
      head_text<parts>(lane_digits(spread_low(pairs_low), head_divide, head_shift, ten),
                       lane_digits(spread_high(pairs_low), head_divide, head_shift, ten),
                       _mm_unpacklo_epi32(minus, minus), unit_digit_only);
  const __m128i heads_23 =
      head_text<parts>(lane_digits(spread_low(pairs_high), head_divide, head_shift, ten),
                       lane_digits(spread_high(pairs_high), head_divide, head_shift, ten),
                       _mm_unpackhi_epi32(minus, minus), unit_digit_only);
  for (std::size_t k = 0; k < count; ++k) {
    const __m128i both = k < 2 ? heads_01 : heads_23;
    if (k % 2 == 0) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(fields + Width * k), both);
    } else {
      _mm_storeh_pi(reinterpret_cast<__m64*>(fields + Width * k), _mm_castsi128_ps(both));
    }
  }

  if constexpr (parts::tail_by_pairs) {
    // One or two digits after the head: the tens by multiply-high, as
    // lane_digits divides, the units the rest; each value's two bytes in the
    // low half of its 32-bit lane.
    const __m128i number = remainder(scaled, above_tail, tail);
    const __m128i tens = _mm_mulhi_epu16(number, _mm_set1_epi16(6554));
    const __m128i ones = _mm_sub_epi16(number, _mm_mullo_epi16(tens, ten));
    const __m128i text = tail == 2 ? _mm_add_epi16(_mm_or_si128(tens, _mm_slli_epi16(ones, 8)),
                                                   _mm_set1_epi16(0x3030))
                                   : _mm_add_epi16(ones, _mm_set1_epi16('0'));
    const auto put = [&](std::size_t k, int lane) {
      const auto both = static_cast<std::uint16_t>(lane);
      std::memcpy(fields + Width * k + 8, &both, static_cast<std::size_t>(tail));
    };
    put(0, _mm_extract_epi16(text, 0));
    if (count > 1) put(1, _mm_extract_epi16(text, 2));
    if (count > 2) put(2, _mm_extract_epi16(text, 4));
    if (count > 3) put(3, _mm_extract_epi16(text, 6));
  } else if constexpr (Width > 8) {
    const __m128i tail_numbers = _mm_slli_epi32(
        _mm_and_si128(remainder(scaled, above_tail, tail), _mm_set1_epi32(0xFFFF)), 2);
    const __m128i doubled = _mm_or_si128(tail_numbers, _mm_slli_epi32(tail_numbers, 16));
    const __m128i tail_divide = vector_of(parts::tail_divide);
    const __m128i tail_shift = vector_of(parts::tail_shift);
    const __m128i tails = _mm_add_epi8(
        _mm_and_si128(
            _mm_packus_epi16(lane_digits(spread_low(doubled), tail_divide, tail_shift, ten),
                             lane_digits(spread_high(doubled), tail_divide, tail_shift, ten)),
            vector_of(parts::tail_digits_mask)),
        vector_of(parts::tail_ascii));
    std::array<char, 16> tail_text{};
    _mm_storeu_si128(reinterpret_cast<__m128i*>(tail_text.data()), tails);
    for (std::size_t k = 0; k < count; ++k)
      std::memcpy(fields + Width * k + 8, tail_text.data() + 4 * k, Width - 8);
  }
  return refused;
}

#else
template <std::size_t Width, std::size_t Decimals>
inline constexpr bool takes = false;

template <std::size_t Width, std::size_t Decimals>
inline std::uint32_t edit_four(const float*, std::size_t count, char*) {
  return (1u << count) - 1;
}
#endif

}  // namespace records::detail::real_lanes
