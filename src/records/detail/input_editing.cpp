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

// The significant digits of a field's mantissa as the field holds them: past the
// blanks, the sign and the leading zeros, up to the exponent.
std::size_t copy_significant_digits(std::string_view field, char* out) {
  const char* at = skip_blanks(field.data(), field.data() + field.size());
  const char* const end = field.data() + field.size();
  if (at != end && (*at == '-' || *at == '+')) ++at;
  std::size_t length = 0;
  for (; at != end && (is_digit(*at) || *at == '.' || *at == ' '); ++at) {
    if (is_digit(*at) && (length != 0 || *at != '0')) out[length++] = *at;
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
    case field_failure::none:
    case field_failure::malformed:
      break;
  }
  return {};
}

decomposed_number scan_number_bytewise(std::string_view field, std::int32_t decimals) {
  const char* at = field.data();
  const char* const end = at + field.size();
  decomposed_number number;
  for (;; ++at) {
    if (at == end) return number;  // all blank: zero
    if (*at != ' ') break;
  }
  const bool signed_field = *at == '-' || *at == '+';
  if (*at == '-') number.flags = decomposed_number::negative;
  at += signed_field ? 1 : 0;
  std::int32_t digits = 0;
  std::int32_t digits_before_point = -1;  // no point
  for (; at != end; ++at) {
    const auto digit = static_cast<unsigned char>(*at - '0');
    if (digit <= 9) {
      ++digits;
      // Leading zeros leave the mantissa 0; past 19 significant digits it is
      // not exact and stops growing.
      if (number.mantissa < exact_mantissa_limit) {
        number.mantissa = number.mantissa * 10 + digit;
      } else {
        number.flags |= decomposed_number::too_many_digits;
      }
    } else if (*at == '.' && digits_before_point < 0) {
      digits_before_point = digits;
    } else if (*at != ' ') {
      break;
    }
  }
  const bool point = digits_before_point >= 0;
  if (digits == 0) {
    // A sign alone, blanks around it, is told apart from other text without digits.
    const bool sign_alone = signed_field && !point && at == end;
    number.failure = sign_alone ? field_failure::sign_only : field_failure::malformed;
    return number;
  }
  if (point) number.flags |= decomposed_number::point;
  std::int32_t explicit_exponent = 0;
  if (at != end) {
    number.flags |= decomposed_number::exponent_given;
    if (!scan_exponent(at, end, explicit_exponent)) number.failure = field_failure::malformed;
  }
  number.exponent = explicit_exponent - (point ? digits - digits_before_point : decimals);
  return number;
}

// The traps of std::from_chars are handled here, once: the text it reads is
// built from the scan (no blank, no "+", no "inf" or "nan" can reach it), it
// must take the whole text, and an out-of-range result, which leaves the value
// alone, is decided from the digits.
field_result<float> real_value_by_text(decomposed_number number, std::string_view field) {
  if (number.failure != field_failure::none) return {0.0f, number.failure};
  const bool negative = number.has(decomposed_number::negative);
  const bool exact = !number.has(decomposed_number::too_many_digits);
  if (exact && number.mantissa == 0) return {negative ? -0.0f : 0.0f};
  number_text text;
  char* at = text.data();
  if (negative) *at++ = '-';
  char* const digits_at = at;
  // An exact mantissa has at most 19 digits, 20 would do for any u64.
  at = exact ? std::to_chars(at, at + 20, number.mantissa).ptr
             : at + copy_significant_digits(field, at);
  const auto significant = static_cast<std::int32_t>(at - digits_at);
  *at++ = 'e';
  at = std::to_chars(at, text.data() + text.size(), number.exponent).ptr;
  const auto length = static_cast<std::size_t>(at - text.data());

  float value = 0.0f;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + length, value, std::chars_format::scientific);
  if (error == std::errc::result_out_of_range) {
    // A leading digit at 10^0 or above overflowed, any other underflowed.
    const bool overflow = number.exponent + significant - 1 >= 0;
    const float magnitude = overflow ? std::numeric_limits<float>::infinity() : 0.0f;
    return {negative ? -magnitude : magnitude};
  }
  if (error != std::errc{} || end != text.data() + length) return {0.0f, field_failure::malformed};
  return {value};
}

}  // namespace records::detail
