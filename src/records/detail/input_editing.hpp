#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "records/detail/field_limits.hpp"

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

// A numeric field's text, scanned once. Blanks are ignored anywhere. The number
// is an optional sign, a mantissa of digits with at most one point, and an
// optional exponent ("E", "e", "D" or "d" with an optional sign, or a bare sign,
// then digits). Its value is mantissa x 10^exponent, exactly while the mantissa
// has at most 19 significant digits. Every conversion starts from this.
struct decomposed_number {
  static constexpr std::uint8_t negative = 1;
  static constexpr std::uint8_t point = 2;
  static constexpr std::uint8_t exponent_given = 4;
  static constexpr std::uint8_t too_many_digits = 8;  // the mantissa is not exact

  std::uint64_t mantissa = 0;  // the significant digits as one integer
  std::int32_t exponent = 0;   // the explicit exponent less the fraction digits
  std::uint8_t flags = 0;
  field_failure failure = field_failure::none;

  bool has(std::uint8_t flag) const { return (flags & flag) != 0; }
  friend bool operator==(const decomposed_number&, const decomposed_number&) = default;
};
// Sixteen bytes of integers: passed and returned in two registers.
static_assert(sizeof(decomposed_number) == 16);

// A u64 holds any 19 decimal digits: a mantissa below 10^18 takes one more.
inline constexpr std::uint64_t exact_mantissa_limit = 1000000000000000000;

// An exponent beyond this cannot change a result: a mantissa has at most
// max_field_width digits, and no binary32 lies beyond 1e39 or below 1e-46.
// It lies above any exponent an eight-column field can spell.
inline constexpr std::int32_t exponent_saturation = 1000000;

// The bytewise scan, for any field of at most max_field_width bytes: the slow
// path of scan_number, for wider fields and for whatever the word does not hold.
[[gnu::noinline]] decomposed_number scan_number_bytewise(std::string_view field,
                                                         std::int32_t decimals);

// Fields of at most eight columns are scanned as one 64-bit word, a column a
// byte, the last column in the highest byte and blanks before the first.
namespace columns {

inline constexpr std::uint64_t ones = 0x0101010101010101;
inline constexpr std::uint64_t high_bits = ones * 0x80;

// The lowest `count` bytes of a word set, count from 0 to 8.
constexpr std::uint64_t low_bytes(int count) {
  return count >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * count)) - 1;
}

// Marks (high bits of bytes) as whole bytes, and how many there are.
constexpr std::uint64_t whole_bytes(std::uint64_t marks) {
  return (marks >> 7) * 0xFF;
}
constexpr std::int32_t count(std::uint64_t marks) {
  return static_cast<std::int32_t>(((marks >> 7) * ones) >> 56);
}

// The high bit of every byte equal to `c`. Each byte is tested apart: the low
// seven bits are added without a carry into the next byte.
constexpr std::uint64_t bytes_equal(std::uint64_t word, char c) {
  const std::uint64_t x = word ^ (ones * static_cast<unsigned char>(c));
  return ~(((x & ~high_bits) + ~high_bits) | x) & high_bits;
}

// The high bit of every byte that holds a digit, whose value byte (word ^ '0's)
// is 0 to 9.
constexpr std::uint64_t digit_marks(std::uint64_t values) {
  return ~(((values & ~high_bits) + ones * 0x76) | values) & high_bits;
}

// The byte whose high bit is `mark`.
inline char byte_at(std::uint64_t word, std::uint64_t mark) {
  return static_cast<char>(word >> (std::countr_zero(mark) - 7));
}

// Eight digit values, one a byte, the first (most significant) in the lowest,
// joined pairwise into one number: two-digit values in every other byte,
// four-digit ones in every other 16 bits, then the whole.
constexpr std::uint64_t join_digits(std::uint64_t digit_values) {
  std::uint64_t value = (digit_values * 10 + (digit_values >> 8)) & 0x00FF00FF00FF00FF;
  value = (value * 100 + (value >> 16)) & 0x0000FFFF0000FFFF;
  return (value * 10000 + (value >> 32)) & 0xFFFFFFFF;
}

template <typename Part>
Part load(const char* at) {
  Part part = 0;
  std::memcpy(&part, at, sizeof part);
  return part;
}

// A field of fewer than eight columns is loaded as two parts that may overlap.
template <std::size_t Width>
[[gnu::always_inline]] inline std::uint64_t field_word(const char* field) {
  static_assert(Width >= 1 && Width <= 8);
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

// The number that a format writes into a field of d decimals, 1 <= d <= 5, when
// its integer part is one digit ("-0.21051" in F8.5): blanks, perhaps a sign,
// the digit, the point and d digits to the end. Checked with constant masks
// only; false, with `number` unset, for any other bytes.
template <std::int32_t Decimals>
[[gnu::always_inline]] inline bool scan_unit_digit(std::uint64_t word, decomposed_number& number) {
  static_assert(Decimals >= 1 && Decimals <= 5);
  constexpr int point_at = 7 - Decimals;
  constexpr std::uint64_t point_column = low_bytes(point_at + 1) ^ low_bytes(point_at);
  constexpr std::uint64_t fraction_columns = ~low_bytes(point_at + 1);
  constexpr std::uint64_t unit_column = low_bytes(point_at) ^ low_bytes(point_at - 1);
  constexpr std::uint64_t blank_columns = low_bytes(point_at - 2);
  const std::uint64_t values = word ^ (ones * '0');
  const std::uint64_t not_digits = ~digit_marks(values) & high_bits;
  const auto sign = static_cast<char>(word >> (8 * (point_at - 2)));
  if ((not_digits & (fraction_columns | unit_column)) != 0 ||
      (word & point_column) != ((ones * '.') & point_column) ||
      ((word ^ (ones * ' ')) & blank_columns) != 0 || (sign != ' ' && sign != '-' && sign != '+')) {
    return false;
  }
  // The unit digit moves up one column, over the point.
  number.mantissa = join_digits(((values & unit_column) << 8) | (values & fraction_columns));
  number.exponent = -Decimals;
  number.flags = static_cast<std::uint8_t>(decomposed_number::point |
                                           (sign == '-' ? decomposed_number::negative : 0));
  number.failure = field_failure::none;
  return true;
}

// Digits after blanks, as a format writes a positive integer ("  17" in I4),
// false, with `number` unset, for any other bytes.
[[gnu::always_inline]] inline bool scan_right_justified_digits(std::uint64_t word,
                                                               decomposed_number& number) {
  const std::uint64_t values = word ^ (ones * '0');
  // The other columns as whole bytes: a run from the first column, all blanks.
  const std::uint64_t others = whole_bytes(~digit_marks(values) & high_bits);
  if ((others & (others + 1)) != 0 || others == ~std::uint64_t{0} ||
      ((word ^ (ones * ' ')) & others) != 0) {
    return false;
  }
  number.mantissa = join_digits(values & ~others);
  number.exponent = 0;
  number.flags = 0;
  number.failure = field_failure::none;
  return true;
}

// The shape a format writes into a field of Width columns and Decimals
// decimals, where it has one that constant masks can check.
template <std::size_t Width, std::int32_t Decimals>
[[gnu::always_inline]] inline bool scan_written_shape(std::uint64_t word,
                                                      decomposed_number& number) {
  if constexpr (Decimals == 0) {
    return scan_right_justified_digits(word, number);
  } else if constexpr (Decimals <= 5 && Width >= static_cast<std::size_t>(Decimals) + 2) {
    return scan_unit_digit<Decimals>(word, number);
  } else {
    return false;
  }
}

// Columns are found by the bit where they start (8 x their index): the marks of
// a set of columns are their high bits, and the lowest mark less 7 is where
// the first of them starts.
inline int start_of_lowest(std::uint64_t marks) {
  return __builtin_ctzll(marks) - 7;
}

inline char column_at(std::uint64_t word, int start) {
  return static_cast<char>(word >> start);
}

// The blanks marked in `inner` taken out, the last first: the columns before
// each move up one, a blank coming in first.
inline std::uint64_t without_inner_blanks(std::uint64_t word, std::uint64_t inner) {
  do {
    const int start = 56 - std::countl_zero(inner);
    const std::uint64_t before = (std::uint64_t{1} << start) - 1;
    word = (word & ~(before | (std::uint64_t{0xFF} << start))) | ((word & before) << 8) | ' ';
    inner = (inner & before) << 8;
  } while (inner != 0);
  return word;
}

inline constexpr std::uint32_t powers_of_ten[] = {1,      10,      100,      1000,     10000,
                                                  100000, 1000000, 10000000, 100000000};

// Any number that the word holds: blanks anywhere, a sign, a point anywhere, an
// exponent. False, with `number` unset, for anything else: the bytewise scan
// then finds what is wrong.
inline bool scan_word(std::uint64_t word, std::int32_t decimals, decomposed_number& number) {
  const std::uint64_t blanks = bytes_equal(word, ' ');
  if (blanks == high_bits) {
    number = {};
    return true;
  }
  int first = start_of_lowest(~blanks & high_bits);  // the first column that is not blank
  if (const std::uint64_t inner = blanks >> first; inner != 0) [[unlikely]] {
    word = without_inner_blanks(word, inner << first);
    first += 8 * count(inner);
  }
  const std::uint64_t values = word ^ (ones * '0');
  const std::uint64_t digits = digit_marks(values);
  // From the first column on, every column that is no digit: a sign first, a
  // point, an exponent; all columns between them hold digits.
  std::uint64_t others = ~digits & high_bits & (~std::uint64_t{0} << first);
  number.flags = 0;
  if (const char sign = column_at(word, first); sign == '-' || sign == '+') {
    number.flags = sign == '-' ? decomposed_number::negative : std::uint8_t{0};
    others &= others - 1;
  }
  // Every digit in its column, the rest zero, the point taken out by moving
  // the columns before it up one.
  std::uint64_t digit_values = values & whole_bytes(digits);
  std::int32_t implied = decimals;
  if (others != 0) {
    if (const int point = start_of_lowest(others); column_at(word, point) == '.') {
      others &= others - 1;
      const std::uint64_t before = (std::uint64_t{1} << point) - 1;
      digit_values = ((digit_values & before) << 8) | (digit_values & ~before);
      implied = ((others != 0 ? start_of_lowest(others) : 64) - point) / 8 - 1;
      number.flags |= decomposed_number::point;
    }
  }
  const auto joined = static_cast<std::uint32_t>(join_digits(digit_values));
  if (others == 0) {
    if (digits == 0) return false;
    number.mantissa = joined;
    number.exponent = -implied;
    number.failure = field_failure::none;
    return true;
  }
  // The exponent: "E", "e", "D" or "d" and an optional sign, or a bare sign,
  // then only digits to the last column.
  const int end = start_of_lowest(others);
  int last = end;
  char sign = column_at(word, end);
  if (const char letter = static_cast<char>(sign | 0x20); letter == 'e' || letter == 'd') {
    sign = '+';
    if (((others >> end) & 0x8000) != 0) sign = column_at(word, last += 8);
  }
  if ((sign != '+' && sign != '-') || (others >> last) != 0x80 || last == 56 ||
      (digits & ((std::uint64_t{1} << end) - 1)) == 0) {
    return false;
  }
  const auto exponent = static_cast<std::int32_t>(joined % powers_of_ten[(56 - last) / 8]);
  number.mantissa = joined / powers_of_ten[(64 - end) / 8];
  number.exponent = (sign == '-' ? -exponent : exponent) - implied;
  number.flags |= decomposed_number::exponent_given;
  number.failure = field_failure::none;
  return true;
}

}  // namespace columns

// Any shape of a field, converted: the whole word, then the bytewise scan.
template <std::size_t Width, std::int32_t Decimals, typename Convert>
[[gnu::always_inline]] inline auto convert_any_shape(std::string_view field, Convert convert) {
  if constexpr (Width <= 8 && std::endian::native == std::endian::little) {
    if (decomposed_number number;
        columns::scan_word(columns::field_word<Width>(field.data()), Decimals, number)) {
      return convert(number);
    }
  }
  return convert(scan_number_bytewise(field, Decimals));
}

// Every shape of a field but the one its format writes, out of line, so that a
// statement inlines only the check of the shape its format writes.
template <std::size_t Width, std::int32_t Decimals, typename Convert>
[[gnu::noinline]] auto convert_other_shapes(std::string_view field, Convert convert) {
  return convert_any_shape<Width, Decimals>(field, convert);
}

// The one scanner: a field of Width columns whose number has Decimals implied
// fraction digits (a point in the field overrides them), handed to `convert`.
// A field of at most eight columns is taken as one word: first the shape its
// format writes, then any shape; the bytewise scan takes wider fields and finds
// what is wrong. `convert` is called on each route apart, so that it is
// compiled with what the route knows of the number.
template <std::size_t Width, std::int32_t Decimals, typename Convert>
[[gnu::always_inline]] inline auto scan_number(std::string_view field, Convert convert) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  static_assert(Decimals >= 0 && static_cast<std::size_t>(Decimals) <= Width);
  if constexpr (Width <= 8 && std::endian::native == std::endian::little) {
    if (decomposed_number number; columns::scan_written_shape<Width, Decimals>(
            columns::field_word<Width>(field.data()), number)) {
      return convert(number);
    }
  }
  return convert_other_shapes<Width, Decimals>(field, convert);
}

template <std::size_t Width, std::int32_t Decimals>
decomposed_number scan_number(std::string_view field) {
  return scan_number<Width, Decimals>(field, [](decomposed_number number) { return number; });
}

// Iw: an all-blank field is 0; a point or an exponent has no place in it.
inline field_result<std::int32_t> integer_value(decomposed_number number) {
  if (number.failure != field_failure::none) [[unlikely]] {
    return {0, number.failure};
  }
  if (number.has(decomposed_number::point | decomposed_number::exponent_given)) [[unlikely]] {
    return {0, field_failure::malformed};
  }
  const bool negative = number.has(decomposed_number::negative);
  const std::uint64_t limit = (std::uint64_t{1} << 31) - (negative ? 0 : 1);
  if (number.has(decomposed_number::too_many_digits) || number.mantissa > limit) [[unlikely]] {
    return {0, field_failure::out_of_range};
  }
  // Negated as unsigned, so that -2^31 needs no signed overflow.
  const auto magnitude = static_cast<std::uint32_t>(number.mantissa);
  return {static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude)};
}

// The std::from_chars route of real_value, for any number.
[[gnu::noinline]] field_result<float> real_value_by_text(decomposed_number number,
                                                         std::string_view field);

// 10^k for k <= 10 is exact in binary32, as is every integer up to 2^24, so one
// division (or multiplication) of the two rounds the decimal value once, correctly.
inline constexpr float exact_powers_of_ten[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// Fw.d: the value rounded once to the nearest binary32, ties to even; beyond the
// largest finite binary32 it is infinity and below the smallest subnormal it is
// zero, with the sign. One exact division serves the common numbers; the rest go
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

// Iw of a field of Width columns (field.size() == Width).
template <std::size_t Width>
[[gnu::always_inline]] inline field_result<std::int32_t> read_integer_field(
    std::string_view field) {
  return scan_number<Width, 0>(field,
                               [](decomposed_number number) { return integer_value(number); });
}

// Fw.d of a field of Width columns (field.size() == Width).
template <std::size_t Width, std::int32_t Decimals>
[[gnu::always_inline]] inline field_result<float> read_real_field(std::string_view field) {
  return scan_number<Width, Decimals>(
      field, [field](decomposed_number number) { return real_value(number, field); });
}

// Count fields of eight columns and Decimals decimals side by side, each in the
// shape its format writes (see scan_unit_digit), taken at once: the same checks
// and the same one division, sixteen columns to a vector. False, with nothing
// stored, when any field has another shape; each is then scanned on its own.
template <std::int32_t Decimals, std::size_t Count>
[[gnu::always_inline]] inline bool read_unit_digit_run(const char* columns, float* values);

#if defined(__SSE2__)
namespace unit_digit_run {

// Where the parts of a field lie, byte by byte, and how much each digit weighs.
template <std::int32_t Decimals>
struct layout {
  static_assert(Decimals >= 1 && Decimals <= 5);
  static constexpr int point_at = 7 - Decimals;
  static constexpr int sign_at = point_at - 2;

  // A byte mask for two fields, 0xFF where `part` says so.
  template <typename Part>
  static constexpr std::array<std::int8_t, 16> mask(Part part) {
    std::array<std::int8_t, 16> bytes{};
    for (int k = 0; k < 16; ++k)
      bytes[static_cast<std::size_t>(k)] = part(k % 8) ? std::int8_t{-1} : std::int8_t{0};
    return bytes;
  }
  static constexpr auto digits = mask([](int k) { return k == point_at - 1 || k > point_at; });
  static constexpr auto point = mask([](int k) { return k == point_at; });
  static constexpr auto sign = mask([](int k) { return k == sign_at; });
  static constexpr auto blanks = mask([](int k) { return k <= sign_at; });

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

// Two fields: false when either has another shape, else the two halves of
// each field's mantissa as four 32-bit lanes, and the sign bytes.
template <std::int32_t Decimals>
[[gnu::always_inline]] inline bool two_fields(const char* columns, __m128i& halves,
                                              __m128i& minus) {
  using parts = layout<Decimals>;
  __m128i text;
  std::memcpy(&text, columns, 16);
  const __m128i digits = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digits, _mm_set1_epi8(9)), digits);
  const __m128i sign = vector_of(parts::sign);
  minus = _mm_and_si128(_mm_cmpeq_epi8(text, _mm_set1_epi8('-')), sign);
  const __m128i plus = _mm_cmpeq_epi8(text, _mm_set1_epi8('+'));
  const __m128i fits = _mm_or_si128(
      _mm_or_si128(
          _mm_and_si128(is_digit, vector_of(parts::digits)),
          _mm_and_si128(_mm_cmpeq_epi8(text, _mm_set1_epi8('.')), vector_of(parts::point))),
      _mm_or_si128(
          _mm_and_si128(_mm_cmpeq_epi8(text, _mm_set1_epi8(' ')), vector_of(parts::blanks)),
          _mm_or_si128(minus, _mm_and_si128(plus, sign))));
  if (_mm_movemask_epi8(fits) != 0xFFFF) return false;
  const __m128i values = _mm_and_si128(digits, vector_of(parts::digits));
  const __m128i pair_weights = vector_of(parts::pair_weights);
  const __m128i zero = _mm_setzero_si128();
  const __m128i pairs =
      _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(values, zero), pair_weights),
                      _mm_madd_epi16(_mm_unpackhi_epi8(values, zero), pair_weights));
  halves = _mm_madd_epi16(pairs, vector_of(parts::quad_weights));
  return true;
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

}  // namespace unit_digit_run

template <std::int32_t Decimals, std::size_t Count>
[[gnu::always_inline]] inline bool read_unit_digit_run(const char* columns, float* values) {
  static_assert(Count % 2 == 0);
  __m128i halves[Count / 2];  // NOLINT(cppcoreguidelines-avoid-c-arrays)
  __m128i minus[Count / 2];   // NOLINT(cppcoreguidelines-avoid-c-arrays)
  for (std::size_t k = 0; k < Count / 2; ++k) {
    if (!unit_digit_run::two_fields<Decimals>(columns + 16 * k, halves[k], minus[k])) {
      return false;
    }
  }
  for (std::size_t k = 0; k + 1 < Count / 2; k += 2) {
    _mm_storeu_ps(values + 2 * k, unit_digit_run::four_values<Decimals>(halves[k], halves[k + 1],
                                                                        minus[k], minus[k + 1]));
  }
  if constexpr (Count % 4 == 2) {
    constexpr std::size_t last = Count / 2 - 1;
    const __m128 two =
        unit_digit_run::four_values<Decimals>(halves[last], halves[last], minus[last], minus[last]);
    _mm_storel_pi(reinterpret_cast<__m64*>(values + Count - 2), two);
  }
  return true;
}
#else
template <std::int32_t Decimals, std::size_t Count>
inline bool read_unit_digit_run(const char*, float*) {
  return false;
}
#endif

// Count real fields of Width columns side by side, each scanned on its own in
// one loop out of line: a row whose fields are not all in their written shape
// pays for one call, not one a field. Returns how many fields were converted
// before the first whose text is no number.
template <std::size_t Width, std::int32_t Decimals, std::size_t Count>
[[gnu::noinline]] std::size_t read_real_fields(const char* columns, float* values) {
  for (std::size_t k = 0; k < Count; ++k) {
    const std::string_view field(columns + Width * k, Width);
    const auto convert = [field](decomposed_number number) { return real_value(number, field); };
    field_result<float> result;
    if constexpr (Width <= 8 && std::endian::native == std::endian::little) {
      if (decomposed_number number; columns::scan_written_shape<Width, Decimals>(
              columns::field_word<Width>(field.data()), number)) {
        result = convert(number);
      } else {
        result = convert_any_shape<Width, Decimals>(field, convert);
      }
    } else {
      result = convert_any_shape<Width, Decimals>(field, convert);
    }
    if (result.failure != field_failure::none) return k;
    values[k] = result.value;
  }
  return Count;
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
