#include "records/detail/output_editing.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "records/detail/field_limits.hpp"

namespace records::detail {
namespace {

void fill_with_asterisks(std::span<char> field) {
  std::memset(field.data(), '*', field.size());
}

// Blanks from the start of the field up to `text_start`, where the text begins.
void blank_before(std::span<char> field, const char* text_start) {
  for (char* column = field.data(); column != text_start; ++column)
    *column = ' ';
}

void right_justify(std::string_view text, std::span<char> field) {
  if (text.size() > field.size()) {
    fill_with_asterisks(field);
    return;
  }
  char* const start = field.data() + (field.size() - text.size());
  std::memcpy(start, text.data(), text.size());
  blank_before(field, start);
}

template <typename Unsigned>
std::size_t decimal_length(Unsigned value) {
  std::size_t length = 1;
  for (; value >= 10; value /= 10)
    ++length;
  return length;
}

// The digits of the rounded, scaled value placed right to left into the field:
// the decimals, the point, the integer digits (a lone "0" only where it fits)
// and the sign, blanks before them, or asterisks when they do not fit.
template <typename Unsigned>
void place_fixed(Unsigned digits, std::size_t decimals, bool negative, std::span<char> field) {
  char* const start = field.data();
  char* out = place_low_digits(digits, decimals, start + field.size());
  *--out = '.';
  const auto room = static_cast<std::size_t>(out - start) - (negative ? 1 : 0);
  if (digits == 0) {
    if (room > 0) *--out = '0';
  } else if (decimal_length(digits) > room) {
    fill_with_asterisks(field);
    return;
  } else {
    out = place_low_digits(digits, decimal_length(digits), out);
  }
  if (negative) *--out = '-';
  blank_before(field, out);
}

// Fw.d when the value scaled by 10^d is below 2^52, with d <= 12: the exact
// scaled value is rounded to an integer, ties to even. False, with nothing
// written, otherwise; to_chars handles those.
bool write_scaled(float value, std::int32_t decimals, std::span<char> field) {
  const auto d = static_cast<std::size_t>(decimals);
  if (d >= exact_scales.size()) return false;
  const double scaled = std::fabs(static_cast<double>(value)) * exact_scales[d];
  if (!(scaled < 0x1p52)) return false;
  const bool negative = std::signbit(value);
  // The shortest text is the point and the decimals, after a sign.
  if (d + 1 + (negative ? 1 : 0) > field.size()) {
    fill_with_asterisks(field);
    return true;
  }
  // Below 2^52, adding 2^52 leaves no bits for a fraction: the addition itself
  // rounds to an integer, to even on a tie.
  const std::uint64_t digits =
      static_cast<std::uint64_t>(scaled + 0x1p52) - (std::uint64_t{1} << 52);
  if (digits <= UINT32_MAX) {
    place_fixed(static_cast<std::uint32_t>(digits), d, negative, field);
  } else {
    place_fixed(digits, d, negative, field);
  }
  return true;
}

// Fw.d through to_chars: any number of decimals, any finite value.
[[gnu::noinline]] void write_fixed(float value, std::int32_t decimals, std::span<char> field) {
  // The largest binary32 has 39 integer digits; add sign, point and the decimals.
  std::array<char, 48 + max_field_width> text{};
  const auto written =
      std::to_chars(text.data(), text.data() + text.size(), static_cast<double>(value),
                    std::chars_format::fixed, static_cast<int>(decimals));
  std::size_t length = static_cast<std::size_t>(written.ptr - text.data());
  // Fixed notation with no decimals has no point, but the field always shows one.
  if (decimals == 0) text[length++] = '.';

  std::string_view edited(text.data(), length);
  const std::size_t sign = edited.front() == '-' ? 1 : 0;
  const bool zero_integer_part = edited.substr(sign, 2) == "0.";
  if (edited.size() > field.size() && zero_integer_part) {
    // Drop the optional zero by moving the sign onto it.
    edited.remove_prefix(1);
    if (sign == 1) text[1] = '-';
  }
  right_justify(edited, field);
}

}  // namespace

void write_integer_field(std::int32_t value, std::span<char> field) {
  const bool negative = value < 0;
  // Unsigned negation is defined for the most negative value too.
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (negative) magnitude = 0u - magnitude;
  const std::size_t length = decimal_length(magnitude);
  if (length + (negative ? 1 : 0) > field.size()) {
    fill_with_asterisks(field);
    return;
  }
  char* out = place_low_digits(magnitude, length, field.data() + field.size());
  if (negative) *--out = '-';
  blank_before(field, out);
}

void write_real_field(float value, std::int32_t decimals, std::span<char> field) {
  if (!std::isfinite(value)) {
    fill_with_asterisks(field);
    return;
  }
  if (!write_scaled(value, decimals, field)) write_fixed(value, decimals, field);
}

}  // namespace records::detail
