#include "records/detail/output_editing.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace records::detail {

void write_real_field_by_text(float value, std::size_t width, std::size_t decimals, char* field) {
  if (!std::isfinite(value)) {
    std::memset(field, '*', width);
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
  if (edited.size() > width && edited.substr(sign, 2) == "0.") {
    // Drop the optional zero by moving the sign onto it.
    edited.remove_prefix(1);
    if (sign == 1) text[1] = '-';
  }
  if (edited.size() > width) {
    std::memset(field, '*', width);
    return;
  }
  const std::size_t blanks = width - edited.size();
  std::memset(field, ' ', blanks);
  std::memcpy(field + blanks, edited.data(), edited.size());
}

}  // namespace records::detail
