#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "records/detail/shape_plans.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Rows of eight-column real fields side by side, each in the shape a listing
// prints with d decimals, 1 <= d <= 5, and one digit before the point
// ("-0.21051" in F8.5): blanks, a sign or blank, the digit, the point and d
// digits to the end. A row is classified at once, sixteen columns to a vector,
// and every field in that shape converted there, whatever its neighbours hold.
namespace records::detail {

namespace written_rows {

#if defined(__SSE2__)
// Rows of fields the vector takes: eight columns, an even count of them.
template <std::size_t Width, std::int32_t Decimals, std::size_t Count>
inline constexpr bool takes = Width == 8 && Decimals >= 1 && Decimals <= 5 && Count % 2 == 0;

// Where the parts of a field lie, byte by byte, and how much each digit weighs.
template <std::int32_t Decimals>
struct layout {
  static_assert(Decimals >= 1 && Decimals <= 5);
  static constexpr int point_at = 7 - Decimals;
  static constexpr int sign_at = point_at - 2;

  // Bytes for two fields, column by column.
  template <typename Byte>
  static constexpr std::array<std::uint8_t, 16> bytes(Byte byte) {
    std::array<std::uint8_t, 16> all{};
    for (int k = 0; k < 16; ++k)
      all[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(byte(k % 8));
    return all;
  }
  static constexpr bool is_digit(int k) { return k == point_at - 1 || k > point_at; }
  // What each column holds in the shape, the sign's column taken as blank: a
  // column XOR its byte is 0, or 0 to 9 for a digit, whose value it then is.
  static constexpr auto shape = bytes([](int k) {
    return is_digit(k) ? '0' : k == point_at ? '.' : ' ';
  });
  static constexpr auto largest = bytes([](int k) { return is_digit(k) ? 9 : 0; });
  static constexpr auto digits = bytes([](int k) { return is_digit(k) ? 0xFF : 0; });
  static constexpr auto sign = bytes([](int k) { return k == sign_at ? 0xFF : 0; });

  // The weight of each column in the mantissa, 10^Decimals for the unit digit,
  // split into a pair weight (columns 2q, 2q + 1) times a quad weight (pairs
  // 2r, 2r + 1), each small enough for 16 bits.
  static constexpr std::int32_t weight(int k) {
    if (k != point_at - 1 && k <= point_at) return 0;
    std::int32_t w = 1;
    for (int j = k == point_at - 1 ? point_at + 1 : k + 1; j < 8; ++j)
      w *= 10;
    return w;
  }
  static constexpr std::int32_t quad_weight(int pair) {
    const std::int32_t low = weight(2 * pair + 1) != 0 ? weight(2 * pair + 1) : weight(2 * pair);
    return low > 10000 ? low / 10 : low;
  }
  static constexpr std::array<std::int16_t, 8> pair_weights = [] {
    std::array<std::int16_t, 8> w{};
    for (int k = 0; k < 8; ++k) {
      const std::int32_t quad = quad_weight(k / 2);
      w[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(quad == 0 ? 0 : weight(k) / quad);
    }
    return w;
  }();
  static constexpr std::array<std::int16_t, 8> quad_weights = [] {
    std::array<std::int16_t, 8> w{};
    for (int k = 0; k < 8; ++k)
      w[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(quad_weight(k % 4));
    return w;
  }();
};

template <typename Array>
inline __m128i vector_of(const Array& bytes) {
  __m128i v;
  std::memcpy(&v, bytes.data(), 16);
  return v;
}

// Two fields: a byte per column, zero where the column is in its place in the
// written shape; the two halves of each field's mantissa as four 32-bit lanes,
// and the sign bytes.
template <std::int32_t Decimals>
[[gnu::always_inline]] inline __m128i two_fields(const char* columns, __m128i& halves,
                                                 __m128i& minus) {
  using parts = layout<Decimals>;
  __m128i text;
  std::memcpy(&text, columns, 16);
  const __m128i apart = _mm_xor_si128(text, vector_of(parts::shape));
  const __m128i sign = vector_of(parts::sign);
  minus = _mm_and_si128(_mm_cmpeq_epi8(text, _mm_set1_epi8('-')), sign);
  const __m128i plus = _mm_and_si128(_mm_cmpeq_epi8(text, _mm_set1_epi8('+')), sign);
  const __m128i misplaced =
      _mm_andnot_si128(_mm_or_si128(minus, plus), _mm_subs_epu8(apart, vector_of(parts::largest)));
  const __m128i values = _mm_and_si128(apart, vector_of(parts::digits));
  const __m128i pair_weights = vector_of(parts::pair_weights);
  const __m128i zero = _mm_setzero_si128();
  const __m128i pairs =
      _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(values, zero), pair_weights),
                      _mm_madd_epi16(_mm_unpackhi_epi8(values, zero), pair_weights));
  halves = _mm_madd_epi16(pairs, vector_of(parts::quad_weights));
  return misplaced;
}

// The values of four fields from their mantissa halves and sign bytes.
template <std::int32_t Decimals>
[[gnu::always_inline]] inline __m128 four_values(__m128i first, __m128i second, __m128i first_minus,
                                                 __m128i second_minus) {
  const auto lanes = [](__m128i a, __m128i b, auto order) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), decltype(order)::value));
  };
  using even = std::integral_constant<int, _MM_SHUFFLE(2, 0, 2, 0)>;
  using odd = std::integral_constant<int, _MM_SHUFFLE(3, 1, 3, 1)>;
  const __m128i mantissas =
      _mm_add_epi32(lanes(first, second, even{}), lanes(first, second, odd{}));
  // The sign byte lies in a field's first four columns, or in its fifth for
  // one decimal.
  const __m128i minus = layout<Decimals>::sign_at < 4 ? lanes(first_minus, second_minus, even{})
                                                      : lanes(first_minus, second_minus, odd{});
  const __m128i negative =
      _mm_andnot_si128(_mm_cmpeq_epi32(minus, _mm_setzero_si128()),
                       _mm_set1_epi32(std::numeric_limits<std::int32_t>::min()));
  const __m128 magnitudes =
      _mm_div_ps(_mm_cvtepi32_ps(mantissas), _mm_set1_ps(exact_powers_of_ten[Decimals]));
  return _mm_xor_ps(magnitudes, _mm_castsi128_ps(negative));
}

// Up to eight fields from pair `first` on, a bit each, with a column out of
// place: each signed saturating pack halves the bytes a field spans and keeps a
// byte nonzero exactly when either of its two was. Pairs past the last repeat it.
template <std::size_t Pairs>
[[gnu::always_inline]] inline std::uint32_t eight_fields_not_written(
    const __m128i (&misplaced)[Pairs], std::size_t first) {
  const auto at = [&](std::size_t k) { return misplaced[std::min(first + k, Pairs - 1)]; };
  const __m128i quarters = _mm_packs_epi16(at(0), at(1));
  const __m128i halves = first + 2 < Pairs ? _mm_packs_epi16(at(2), at(3)) : quarters;
  const __m128i pairs = _mm_packs_epi16(quarters, halves);
  const __m128i fields = _mm_packs_epi16(pairs, pairs);
  const auto written = _mm_movemask_epi8(_mm_cmpeq_epi8(fields, _mm_setzero_si128()));
  return ~static_cast<std::uint32_t>(written) & 0xFF;
}

// The fields of a row, a bit each, with a column out of place.
template <std::size_t Pairs>
[[gnu::always_inline]] inline std::uint32_t fields_not_written(const __m128i (&misplaced)[Pairs]) {
  std::uint64_t others = 0;
  for (std::size_t k = 0; k < Pairs; k += 4)
    others |= std::uint64_t{eight_fields_not_written(misplaced, k)} << (2 * k);
  return static_cast<std::uint32_t>(others & ((std::uint64_t{1} << (2 * Pairs)) - 1));
}

// Count fields of Decimals decimals side by side: every field in the written
// shape converted into `values`; returns the fields (a bit each, the first
// lowest) in any other shape, whose values are left to the one scanner.
template <std::int32_t Decimals, std::size_t Count>
[[gnu::always_inline]] inline std::uint32_t read(const char* columns, float* values) {
  static_assert(Count % 2 == 0);
  constexpr std::size_t pairs = Count / 2;
  __m128i halves[pairs];     // NOLINT(cppcoreguidelines-avoid-c-arrays)
  __m128i minus[pairs];      // NOLINT(cppcoreguidelines-avoid-c-arrays)
  __m128i misplaced[pairs];  // NOLINT(cppcoreguidelines-avoid-c-arrays)
  for (std::size_t k = 0; k < pairs; ++k)
    misplaced[k] = two_fields<Decimals>(columns + 16 * k, halves[k], minus[k]);
  for (std::size_t k = 0; k + 1 < pairs; k += 2) {
    _mm_storeu_ps(values + 2 * k,
                  four_values<Decimals>(halves[k], halves[k + 1], minus[k], minus[k + 1]));
  }
  if constexpr (pairs % 2 == 1) {
    constexpr std::size_t last = pairs - 1;
    const __m128 two = four_values<Decimals>(halves[last], halves[last], minus[last], minus[last]);
    _mm_storel_pi(reinterpret_cast<__m64*>(values + Count - 2), two);
  }
  return fields_not_written(misplaced);
}
#else
template <std::size_t Width, std::int32_t Decimals, std::size_t Count>
inline constexpr bool takes = false;

template <std::int32_t Decimals, std::size_t Count>
inline std::uint32_t read(const char*, float*) {
  return (std::uint64_t{1} << Count) - 1;
}
#endif

}  // namespace written_rows
}  // namespace records::detail
