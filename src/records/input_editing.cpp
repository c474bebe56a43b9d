#include "records/input_editing.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>

#include "records/format.hpp"
#include "records/quick_input.hpp"

namespace records {
namespace {

// Walks a field's bytes as if its blanks were not there.
class blank_free_scanner {
 public:
  explicit blank_free_scanner(std::string_view field) : field_(field) { skip_blanks(); }

  bool at_end() const { return pos_ == field_.size(); }
  char peek() const { return at_end() ? '\0' : field_[pos_]; }
  void advance() {
    ++pos_;
    skip_blanks();
  }
  bool take(char c) {
    if (at_end() || field_[pos_] != c) return false;
    advance();
    return true;
  }
  bool peek_digit() const { return !at_end() && field_[pos_] >= '0' && field_[pos_] <= '9'; }

 private:
  void skip_blanks() {
    while (pos_ < field_.size() && field_[pos_] == ' ')
      ++pos_;
  }
  std::string_view field_;
  std::size_t pos_ = 0;
};

// Room for the normalised text of the widest field: sign, digits, "e", exponent.
using number_text = std::array<char, max_field_width + 16>;

// An exponent beyond this cannot change the result: the mantissa has at most
// max_field_width digits, and no binary32 lies beyond 1e39 or below 1e-46.
constexpr std::int32_t exponent_saturation = 100000;

struct scanned_real {
  bool negative = false;
  std::size_t digit_count = 0;       // mantissa digits copied to the text
  std::int32_t fraction_digits = 0;  // how many of them lie behind the point
  bool has_point = false;
  std::int32_t exponent = 0;
};

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

void read_character_field(std::string_view field, std::span<char> item) {
  // Labels are four characters read through A4: one fixed-size copy.
  if (field.size() == 4 && item.size() == 4) {
    std::memcpy(item.data(), field.data(), 4);
    return;
  }
  if (field.size() >= item.size()) {
    std::copy(field.end() - static_cast<std::ptrdiff_t>(item.size()), field.end(), item.begin());
    return;
  }
  const auto rest = std::copy(field.begin(), field.end(), item.begin());
  std::fill(rest, item.end(), ' ');
}

field_result<std::int32_t> read_integer_field(std::string_view field) {
  if (field.size() > static_cast<std::size_t>(max_field_width)) return {0, field_failure::too_wide};
  if (const auto quick = read_short_integer(field)) return {*quick, field_failure::none};
  number_text text;
  std::size_t length = 0;
  blank_free_scanner scan(field);
  if (scan.at_end()) return {0, field_failure::none};
  // from_chars takes "-" but not "+", so only the minus is copied.
  if (scan.peek() == '-') text[length++] = '-';
  const bool signed_field = scan.take('-') || scan.take('+');
  if (signed_field && scan.at_end()) return {0, field_failure::sign_only};
  const std::size_t digits_at = length;
  while (scan.peek_digit()) {
    text[length++] = scan.peek();
    scan.advance();
  }
  if (!scan.at_end() || length == digits_at) return {0, field_failure::malformed};
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + length, value);
  if (error == std::errc::result_out_of_range) return {0, field_failure::out_of_range};
  if (error != std::errc{} || end != text.data() + length) return {0, field_failure::malformed};
  return {value, field_failure::none};
}

namespace {

// Digits with at most one point, at least one digit; copies the digits to `text`.
bool scan_mantissa(blank_free_scanner& scan, number_text& text, std::size_t& length,
                   scanned_real& real) {
  const std::size_t first_digit = length;
  while (true) {
    if (scan.peek_digit()) {
      text[length++] = scan.peek();
      if (real.has_point) ++real.fraction_digits;
    } else if (scan.peek() == '.' && !real.has_point) {
      real.has_point = true;
    } else {
      break;
    }
    scan.advance();
  }
  real.digit_count = length - first_digit;
  return real.digit_count > 0;
}

// "E", "e", "D" or "d" with an optional sign, or a bare sign, then digits.
bool scan_exponent(blank_free_scanner& scan, std::int32_t& exponent) {
  if (scan.at_end()) return true;
  const char c = scan.peek();
  bool negative = false;
  if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
    scan.advance();
    negative = scan.peek() == '-';
    if (!scan.take('-')) scan.take('+');
  } else if (c == '+' || c == '-') {
    negative = c == '-';
    scan.advance();
  } else {
    return false;
  }
  if (!scan.peek_digit()) return false;
  std::int32_t magnitude = 0;
  while (scan.peek_digit()) {
    magnitude = std::min(magnitude * 10 + (scan.peek() - '0'), exponent_saturation);
    scan.advance();
  }
  exponent = negative ? -magnitude : magnitude;
  return scan.at_end();
}

// from_chars leaves the value alone when the result is out of range; the text then
// tells which way: a leading digit at 10^0 or above overflowed, anything else underflowed.
float out_of_range_value(const char* digits, std::size_t digit_count, std::int32_t exponent,
                         bool negative) {
  std::size_t leading_zeros = 0;
  while (leading_zeros < digit_count && digits[leading_zeros] == '0')
    ++leading_zeros;
  const auto significant = static_cast<std::int32_t>(digit_count - leading_zeros);
  const bool overflow = exponent + significant - 1 >= 0;
  const float magnitude = overflow ? std::numeric_limits<float>::infinity() : 0.0f;
  return negative ? -magnitude : magnitude;
}

}  // namespace

field_result<float> read_real_field_by_text(std::string_view field, std::int32_t decimals) {
  if (field.size() > static_cast<std::size_t>(max_field_width)) return {0, field_failure::too_wide};
  blank_free_scanner scan(field);
  if (scan.at_end()) return {0.0f, field_failure::none};

  number_text text;
  std::size_t length = 0;
  scanned_real real;
  real.negative = scan.peek() == '-';
  if (real.negative) text[length++] = '-';
  const bool signed_field = scan.take('-') || scan.take('+');
  if (signed_field && scan.at_end()) return {0.0f, field_failure::sign_only};
  const std::size_t digits_at = length;
  if (!scan_mantissa(scan, text, length, real)) return {0.0f, field_failure::malformed};
  if (!scan_exponent(scan, real.exponent)) return {0.0f, field_failure::malformed};

  // Without a point the last d digits are the fraction; a point overrides d.
  const std::int32_t fraction = real.has_point ? real.fraction_digits : decimals;
  const std::int32_t scale = real.exponent - fraction;
  text[length++] = 'e';
  const auto written = std::to_chars(text.data() + length, text.data() + text.size(), scale);
  length = static_cast<std::size_t>(written.ptr - text.data());

  float value = 0.0f;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + length, value, std::chars_format::scientific);
  if (error == std::errc::result_out_of_range) {
    return {out_of_range_value(text.data() + digits_at, real.digit_count, scale, real.negative),
            field_failure::none};
  }
  if (error != std::errc{} || end != text.data() + length) return {0.0f, field_failure::malformed};
  return {value, field_failure::none};
}

field_result<float> read_real_field(std::string_view field, std::int32_t decimals) {
  // The quick route knows nothing of widths; a field too wide must fail all the same.
  if (field.size() <= static_cast<std::size_t>(max_field_width)) {
    if (const auto quick = read_plain_real(field, decimals)) return {*quick, field_failure::none};
  }
  return read_real_field_by_text(field, decimals);
}

}  // namespace records
