#include "records/detail/input_editing.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

#include "records/detail/field_limits.hpp"

namespace records::detail {
namespace {

// A u64 holds any 19 decimal digits.
constexpr std::int32_t mantissa_digit_limit = 19;

// An exponent beyond this cannot change a result: a mantissa has at most
// max_field_width digits, and no binary32 lies beyond 1e39 or below 1e-46.
constexpr std::int32_t exponent_saturation = 100000;

constexpr bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') <= 9;
}

const char* skip_blanks(const char* at, const char* end) {
  while (at != end && *at == ' ')
    ++at;
  return at;
}

// "E", "e", "D" or "d" with an optional sign, or a bare sign, then digits, to the
// end of the field. False when what follows the mantissa is no exponent.
bool scan_exponent(const char* at, const char* end, std::int32_t& exponent) {
  bool negative = false;
  const char c = *at++;
  if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
    at = skip_blanks(at, end);
    if (at != end && (*at == '+' || *at == '-')) negative = *at++ == '-';
  } else if (c == '+' || c == '-') {
    negative = c == '-';
  } else {
    return false;
  }
  at = skip_blanks(at, end);
  if (at == end || !is_digit(*at)) return false;
  std::int32_t magnitude = 0;
  for (; at != end; ++at) {
    if (is_digit(*at)) {
      magnitude = std::min(magnitude * 10 + (*at - '0'), exponent_saturation);
    } else if (*at != ' ') {
      return false;
    }
  }
  exponent = negative ? -magnitude : magnitude;
  return true;
}

// Room for the text from_chars reads: sign, every mantissa digit, "e", exponent.
using number_text = std::array<char, max_field_width + 24>;

// The mantissa's digits as the field holds them, blanks and point left out.
std::size_t copy_mantissa_digits(const decomposed_number& number, std::string_view field,
                                 char* out) {
  std::size_t length = 0;
  for (const char c : field.substr(0, number.mantissa_end)) {
    if (is_digit(c)) out[length++] = c;
  }
  return length;
}

}  // namespace

std::string_view failure_detail(field_failure failure) {
  switch (failure) {
    case field_failure::sign_only:
      return "a sign without digits";
    case field_failure::out_of_range:
      return "beyond the signed 32-bit range";
    case field_failure::too_wide:
      return "wider than any field";
    case field_failure::none:
    case field_failure::malformed:
      break;
  }
  return {};
}

decomposed_number scan_number_rest(std::string_view field, const char* at, bool negative,
                                   bool signed_field, mantissa_scan scan, std::int32_t decimals) {
  const char* const end = field.data() + field.size();
  for (; at != end; ++at) {
    const auto digit = static_cast<unsigned char>(*at - '0');
    if (digit <= 9) {
      // Past 19 digits the sum wraps around; it is not used then.
      scan.mantissa = scan.mantissa * 10 + digit;
      ++scan.digits;
      scan.fraction_digits += scan.point ? 1 : 0;
    } else if (*at == '.' && !scan.point) {
      scan.point = true;
    } else if (*at != ' ') {
      break;
    }
  }
  decomposed_number number;
  number.mantissa = scan.mantissa;
  number.digit_count = static_cast<std::uint8_t>(std::min(scan.digits, 255));
  number.mantissa_end = static_cast<std::uint8_t>(at - field.data());
  number.flags = static_cast<std::uint8_t>(
      (negative ? decomposed_number::negative : 0) | (scan.point ? decomposed_number::point : 0) |
      (scan.digits > mantissa_digit_limit ? decomposed_number::too_many_digits : 0));
  if (scan.digits == 0) {
    // A sign alone, blanks around it, is told apart from other text without digits.
    const bool sign_alone = signed_field && !scan.point && at == end;
    number.failure = sign_alone ? field_failure::sign_only : field_failure::malformed;
    return number;
  }
  std::int32_t explicit_exponent = 0;
  if (at != end) {
    number.flags |= decomposed_number::exponent_given;
    if (!scan_exponent(at, end, explicit_exponent)) number.failure = field_failure::malformed;
  }
  number.exponent = explicit_exponent - (scan.point ? scan.fraction_digits : decimals);
  return number;
}

field_result<std::int32_t> integer_value_slowly(decomposed_number number, std::string_view field) {
  if (number.failure != field_failure::none) return {0, number.failure};
  if (number.has(decomposed_number::point) || number.has(decomposed_number::exponent_given)) {
    return {0, field_failure::malformed};
  }
  // More than 19 digits: leading zeros may make a wide field long without making
  // its value large.
  number_text digits;
  const std::size_t length = copy_mantissa_digits(number, field, digits.data());
  std::size_t first = 0;
  while (first < length && digits[first] == '0')
    ++first;
  if (length - first > 10) return {0, field_failure::out_of_range};
  number.mantissa = 0;
  for (std::size_t i = first; i < length; ++i)
    number.mantissa = number.mantissa * 10 + static_cast<std::uint64_t>(digits[i] - '0');
  number.flags &= static_cast<std::uint8_t>(~decomposed_number::too_many_digits);
  return integer_value(number, field);
}

field_result<float> real_value_by_text(decomposed_number number, std::string_view field) {
  if (number.failure != field_failure::none) return {0.0f, number.failure};
  const bool negative = number.has(decomposed_number::negative);
  if (number.mantissa == 0 && !number.has(decomposed_number::too_many_digits)) {
    return {negative ? -0.0f : 0.0f};
  }
  number_text text;
  std::size_t length = 0;
  if (negative) text[length++] = '-';
  const std::size_t digits_at = length;
  length += copy_mantissa_digits(number, field, text.data() + length);
  text[length++] = 'e';
  length = static_cast<std::size_t>(
      std::to_chars(text.data() + length, text.data() + text.size(), number.exponent).ptr -
      text.data());

  float value = 0.0f;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + length, value, std::chars_format::scientific);
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value alone when the result is out of range; the
    // digits tell which way: a leading digit at 10^0 or above overflowed, any
    // other underflowed.
    std::int32_t leading_zeros = 0;
    while (leading_zeros < number.digit_count &&
           text[digits_at + static_cast<std::size_t>(leading_zeros)] == '0') {
      ++leading_zeros;
    }
    const std::int32_t significant = number.digit_count - leading_zeros;
    const bool overflow = number.exponent + significant - 1 >= 0;
    const float magnitude = overflow ? std::numeric_limits<float>::infinity() : 0.0f;
    return {negative ? -magnitude : magnitude};
  }
  if (error != std::errc{} || end != text.data() + length) return {0.0f, field_failure::malformed};
  return {value};
}

field_result<std::int32_t> read_integer_field(std::string_view field) {
  if (field.size() > static_cast<std::size_t>(max_field_width)) return {0, field_failure::too_wide};
  return integer_value(scan_number(field, 0, true), field);
}

field_result<float> read_real_field(std::string_view field, std::int32_t decimals) {
  if (field.size() > static_cast<std::size_t>(max_field_width)) {
    return {0.0f, field_failure::too_wide};
  }
  return real_value(scan_number(field, decimals, false), field);
}

}  // namespace records::detail
