#include "records/output_editing.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "records/format.hpp"

namespace records {
namespace {

void right_justify(std::string_view text, std::int32_t width, std::string& record) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    record.append(w, '*');
    return;
  }
  record.append(w - text.size(), ' ');
  record.append(text);
}

}  // namespace

void write_integer_field(std::int32_t value, std::int32_t width, std::string& record) {
  std::array<char, 16> text{};
  const auto written = std::to_chars(text.data(), text.data() + text.size(), value);
  right_justify({text.data(), static_cast<std::size_t>(written.ptr - text.data())}, width, record);
}

void write_real_field(float value, std::int32_t width, std::int32_t decimals, std::string& record) {
  if (!std::isfinite(value)) {
    record.append(static_cast<std::size_t>(width), '*');
    return;
  }
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
  if (edited.size() > static_cast<std::size_t>(width) && zero_integer_part) {
    // Drop the optional zero by moving the sign onto it.
    edited.remove_prefix(1);
    if (sign == 1) text[1] = '-';
  }
  right_justify(edited, width, record);
}

}  // namespace records
