#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

// A field of at most eight columns as one 64-bit word, column c of the word in
// byte c counted from the lowest, whatever the machine's byte order: the field's
// last column in the highest byte, blanks before a narrower field.
namespace records::detail::columns {

inline constexpr std::uint32_t columns_in_word = 8;
inline constexpr std::uint32_t all_columns = 0xFF;  // a bit per column, column c at bit c
inline constexpr std::uint64_t ones = 0x0101010101010101;

// The lowest `count` bytes of a word set, count from 0 to 8.
inline constexpr std::uint64_t low_byte_masks[] = {
    0,
    0xFF,
    0xFFFF,
    0xFFFFFF,
    0xFFFFFFFF,
    0xFFFFFFFFFF,
    0xFFFFFFFFFFFF,
    0xFFFFFFFFFFFFFF,
    ~std::uint64_t{0},
};
inline std::uint64_t low_bytes(std::uint32_t count) {
  return low_byte_masks[count];
}

template <typename Part>
Part load(const char* at) {
  Part part = 0;
  std::memcpy(&part, at, sizeof part);
  if constexpr (std::endian::native == std::endian::big && sizeof(Part) > 1) {
    part = static_cast<Part>(__builtin_bswap64(part) >> (64 - 8 * sizeof(Part)));
  }
  return part;
}

// A field of fewer than eight columns is loaded as two parts that may overlap,
// never reading past its last column.
template <std::size_t Width>
[[gnu::always_inline]] inline std::uint64_t field_word(const char* field) {
  static_assert(Width >= 1 && Width <= columns_in_word);
  std::uint64_t loaded = 0;
  if constexpr (Width == 8) {
    loaded = load<std::uint64_t>(field);
  } else if constexpr (Width >= 4) {
    loaded = load<std::uint32_t>(field) |
             (std::uint64_t{load<std::uint32_t>(field + Width - 4)} << (8 * (Width - 4)));
  } else if constexpr (Width >= 2) {
    loaded = load<std::uint16_t>(field) |
             (std::uint64_t{load<std::uint16_t>(field + Width - 2)} << (8 * (Width - 2)));
  } else {
    loaded = load<std::uint8_t>(field);
  }
  if constexpr (Width == 8) {
    return loaded;
  } else {
    constexpr std::uint64_t blanks = 0x2020202020202020 >> (8 * Width);
    return (loaded << (8 * (8 - Width))) | blanks;
  }
}

inline char column(std::uint64_t word, std::uint32_t at) {
  return static_cast<char>(word >> (8 * at));
}

// Which columns are blanks and which digits, a bit each; and the digits as
// whole bytes, for masking their values.
struct column_kinds {
  std::uint32_t blanks = 0;
  std::uint32_t digits = 0;
  std::uint64_t digit_bytes = 0;
};

inline column_kinds classify(std::uint64_t word) {
#if defined(__SSE2__) && defined(__x86_64__)
  // The eight columns in the low half of a vector; the high half, zeros, is of
  // no kind.
  const __m128i text = _mm_cvtsi64_si128(static_cast<long long>(word));
  const __m128i values = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  const __m128i digits = _mm_cmpeq_epi8(_mm_min_epu8(values, _mm_set1_epi8(9)), values);
  return {static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8(' ')))),
          static_cast<std::uint32_t>(_mm_movemask_epi8(digits)),
          static_cast<std::uint64_t>(_mm_cvtsi128_si64(digits))};
#else
  column_kinds kinds;
  for (std::uint32_t c = 0; c < columns_in_word; ++c) {
    const char at = column(word, c);
    if (at == ' ') kinds.blanks |= 1u << c;
    if (at >= '0' && at <= '9') {
      kinds.digits |= 1u << c;
      kinds.digit_bytes |= std::uint64_t{0xFF} << (8 * c);
    }
  }
  return kinds;
#endif
}

// The digit columns of a word, whole bytes.
inline std::uint64_t digit_bytes(std::uint64_t word) {
#if defined(__SSE2__) && defined(__x86_64__)
  const __m128i text = _mm_cvtsi64_si128(static_cast<long long>(word));
  const __m128i values = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  return static_cast<std::uint64_t>(
      _mm_cvtsi128_si64(_mm_cmpeq_epi8(_mm_min_epu8(values, _mm_set1_epi8(9)), values)));
#else
  return classify(word).digit_bytes;
#endif
}

// The columns that hold a point, a bit each.
inline std::uint32_t points(std::uint64_t word) {
#if defined(__SSE2__) && defined(__x86_64__)
  const __m128i text = _mm_cvtsi64_si128(static_cast<long long>(word));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8('.'))));
#else
  std::uint32_t found = 0;
  for (std::uint32_t c = 0; c < columns_in_word; ++c) {
    if (column(word, c) == '.') found |= 1u << c;
  }
  return found;
#endif
}

// Columns c to 7, a bit each; none for c = 8.
inline constexpr std::uint32_t columns_from[] = {0xFF, 0xFE, 0xFC, 0xF8, 0xF0, 0xE0, 0xC0, 0x80, 0};

// Each digit column's value, 0 to 9, in its byte; other bytes hold anything.
inline std::uint64_t digit_values(std::uint64_t word) {
  return word ^ (ones * '0');
}

// The blanks marked (a bit each) taken out, the highest first: the columns
// before each move up one, a blank coming in at column 0.
inline std::uint64_t without_blanks(std::uint64_t word, std::uint32_t blanks) {
  while (blanks != 0) {
    const auto at = static_cast<std::uint32_t>(std::bit_width(blanks)) - 1;
    word = (word & ~low_bytes(at + 1)) | ((word & low_bytes(at)) << 8) | ' ';
    blanks = (blanks & ((1u << at) - 1)) << 1;
  }
  return word;
}

// Eight digit values, one a byte, the first (most significant) in the lowest,
// as one number: joined pairwise into two-digit values in every other byte,
// four-digit ones in every other 16 bits, then the whole, each step one
// multiplication.
inline std::uint32_t join(std::uint64_t digit_values) {
  std::uint64_t value = (digit_values * (10 * 256 + 1)) >> 8;
  value = ((value & 0x00FF00FF00FF00FF) * (100 * 65536 + 1)) >> 16;
  return static_cast<std::uint32_t>(
      ((value & 0x0000FFFF0000FFFF) * (10000 * (std::uint64_t{1} << 32) + 1)) >> 32);
}

// The same of a field of Width columns, whose digits are all in the last
// Width bytes: four or fewer take half the steps.
template <std::size_t Width>
std::uint32_t join_field(std::uint64_t digit_values) {
  if constexpr (Width <= 4) {
    const auto last_four = static_cast<std::uint32_t>(digit_values >> 32);
    const std::uint32_t pairs = ((last_four * (10 * 256 + 1)) >> 8) & 0x00FF00FF;
    return (pairs * (100 * 65536 + 1)) >> 16;
  } else {
    return join(digit_values);
  }
}

// How the digit columns of a word join into one number: each column's weight
// within its half (columns 0-3 and 4-7), 10^(digit columns after it in that
// half), 0 for a column that is no digit; and the power of ten the first half
// is worth, 10^(digit columns in the second). Every weight fits 16 bits.
struct column_weights {
  std::array<std::int16_t, 8> weights{};
  std::uint32_t first_half_scale = 1;
};

// The digit columns of `word`, whatever the columns between them hold, joined
// in order as one number of at most eight digits.
[[gnu::always_inline]] inline std::uint32_t join_weighted(std::uint64_t word,
                                                          const column_weights& join) {
#if defined(__SSE2__) && defined(__x86_64__)
  const __m128i values =
      _mm_sub_epi8(_mm_cvtsi64_si128(static_cast<long long>(word)), _mm_set1_epi8('0'));
  __m128i weights;
  std::memcpy(&weights, join.weights.data(), sizeof weights);
  // Four sums of two columns, then each half's in lanes 0 and 2.
  const __m128i pairs = _mm_madd_epi16(_mm_unpacklo_epi8(values, _mm_setzero_si128()), weights);
  const __m128i halves = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, _MM_SHUFFLE(2, 3, 0, 1)));
  const __m128i first =
      _mm_mul_epu32(halves, _mm_cvtsi32_si128(static_cast<int>(join.first_half_scale)));
  return static_cast<std::uint32_t>(
      _mm_cvtsi128_si32(_mm_add_epi32(first, _mm_srli_si128(halves, 8))));
#else
  std::uint32_t halves[2] = {0, 0};
  for (std::uint32_t c = 0; c < columns_in_word; ++c) {
    const auto value = static_cast<std::uint8_t>(column(word, c) - '0');
    halves[c / 4] +=
        static_cast<std::uint32_t>(value) * static_cast<std::uint16_t>(join.weights[c]);
  }
  return halves[0] * join.first_half_scale + halves[1];
#endif
}

inline constexpr std::uint32_t powers_of_ten[] = {1,      10,      100,      1000,     10000,
                                                  100000, 1000000, 10000000, 100000000};

}  // namespace records::detail::columns
