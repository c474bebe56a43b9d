#include "records/detail/input_editing.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace records::detail {
namespace {

constexpr bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') <= 9;
}

// An exponent beyond this cannot change a result: a mantissa has at most
// max_field_width digits, and no binary32 lies beyond 1e39 or below 1e-46.
constexpr std::int32_t exponent_saturation = 1000000;

// A field's text read column by column, blanks passed over: the number's sign,
// its significant digits (no leading zeros) and the power of ten of the last.
struct exact_reading {
  field_failure failure = field_failure::none;
  bool negative = false;
  bool point = false;
  bool exponent_given = false;
  std::array<char, max_field_width> digits{};
  std::size_t count = 0;
  std::int32_t exponent = 0;
};

class column_reader {
 public:
  explicit column_reader(std::string_view field)
      : at_(field.data()), end_(field.data() + field.size()) {}

  // Whether a column other than a blank is left; it is then current.
  bool more() {
    while (at_ != end_ && *at_ == ' ')
      ++at_;
    return at_ != end_;
  }
  char current() const { return *at_; }
  void advance() { ++at_; }

 private:
  const char* at_;
  const char* end_;
};

// "E", "e", "D" or "d" with an optional sign, or a bare sign, then digits, to the
// end of the field. False when what follows the mantissa is no exponent.
bool read_exponent(column_reader& columns, std::int32_t& exponent) {
  bool negative = false;
  const char marker = columns.current();
  columns.advance();
  if (marker == 'E' || marker == 'e' || marker == 'D' || marker == 'd') {
    if (columns.more() && (columns.current() == '+' || columns.current() == '-')) {
      negative = columns.current() == '-';
      columns.advance();
    }
  } else if (marker == '+' || marker == '-') {
    negative = marker == '-';
  } else {
    return false;
  }
  if (!columns.more()) return false;
  std::int32_t magnitude = 0;
  for (; columns.more(); columns.advance()) {
    if (!is_digit(columns.current())) return false;
    magnitude = std::min(magnitude * 10 + (columns.current() - '0'), exponent_saturation);
  }
  exponent = negative ? -magnitude : magnitude;
  return true;
}

exact_reading read_exactly(std::string_view field, std::int32_t decimals) {
  exact_reading number;
  column_reader columns(field);
  if (!columns.more()) return number;  // all blank: zero
  const bool signed_field = columns.current() == '-' || columns.current() == '+';
  if (signed_field) {
    number.negative = columns.current() == '-';
    columns.advance();
  }
  std::int32_t mantissa_digits = 0;
  std::int32_t fraction_digits = 0;
  for (; columns.more(); columns.advance()) {
    const char c = columns.current();
    if (is_digit(c)) {
      ++mantissa_digits;
      if (number.point) ++fraction_digits;
      if (number.count != 0 || c != '0') number.digits[number.count++] = c;
    } else if (c == '.' && !number.point) {
      number.point = true;
    } else {
      break;
    }
  }
  if (mantissa_digits == 0) {
    // A sign alone, blanks around it, is told apart from other text without digits.
    const bool sign_alone = signed_field && !number.point && !columns.more();
    number.failure = sign_alone ? field_failure::sign_only : field_failure::malformed;
    return number;
  }
  std::int32_t explicit_exponent = 0;
  if (columns.more()) {
    number.exponent_given = true;
    if (!read_exponent(columns, explicit_exponent)) number.failure = field_failure::malformed;
  }
  number.exponent = explicit_exponent - (number.point ? fraction_digits : decimals);
  return number;
}

// Room for the text from_chars reads: sign, every digit, "e", exponent.
using number_text = std::array<char, max_field_width + 24>;

}  // namespace

std::string_view failure_detail(field_failure failure) {
  switch (failure) {
    case field_failure::sign_only:
      return "a sign without digits";
    case field_failure::out_of_range:
      return "beyond the signed 32-bit range";
    case field_failure::none:
    case field_failure::malformed:
      break;
  }
  return {};
}

// The traps of std::from_chars are handled here, once: the text it reads is
// built from the reading (no blank, no "+", no "inf" or "nan" can reach it), it
// must take the whole text, and an out-of-range result, which leaves the value
// alone, is decided from the digits.
field_result<float> read_real_exactly(std::string_view field, std::int32_t decimals) {
  const exact_reading number = read_exactly(field, decimals);
  if (number.failure != field_failure::none) return {0.0f, number.failure};
  if (number.count == 0) return {number.negative ? -0.0f : 0.0f};
  number_text text;
  char* at = text.data();
  if (number.negative) *at++ = '-';
  at = std::copy_n(number.digits.data(), number.count, at);
  *at++ = 'e';
  at = std::to_chars(at, text.data() + text.size(), number.exponent).ptr;
  const auto length = static_cast<std::size_t>(at - text.data());

  float value = 0.0f;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + length, value, std::chars_format::scientific);
  if (error == std::errc::result_out_of_range) {
    // A leading digit at 10^0 or above overflowed, any other underflowed.
    const bool overflow = number.exponent + static_cast<std::int32_t>(number.count) - 1 >= 0;
    const float magnitude = overflow ? std::numeric_limits<float>::infinity() : 0.0f;
    return {number.negative ? -magnitude : magnitude};
  }
  if (error != std::errc{} || end != text.data() + length) return {0.0f, field_failure::malformed};
  return {value};
}

field_result<std::int32_t> read_integer_exactly(std::string_view field) {
  const exact_reading number = read_exactly(field, 0);
  if (number.failure != field_failure::none) return {0, number.failure};
  if (number.point || number.exponent_given) return {0, field_failure::malformed};
  // Ten significant digits at most: a u64 holds them without overflow.
  if (number.count > 10) return {0, field_failure::out_of_range};
  std::uint64_t magnitude = 0;
  for (std::size_t k = 0; k < number.count; ++k)
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(number.digits[k] - '0');
  const std::uint64_t limit = (std::uint64_t{1} << 31) - (number.negative ? 0 : 1);
  if (magnitude > limit) return {0, field_failure::out_of_range};
  // Negated as unsigned, so that -2^31 needs no signed overflow.
  const auto low = static_cast<std::uint32_t>(magnitude);
  return {static_cast<std::int32_t>(number.negative ? 0u - low : low)};
}

}  // namespace records::detail
