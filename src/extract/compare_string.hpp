#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace extract {

// compare_string for texts of different lengths, the shorter padded with blanks.
[[gnu::noinline]] inline int compare_padded(std::string_view first, std::string_view second) {
  const std::size_t length = std::max(first.size(), second.size());
  for (std::size_t i = 0; i < length; ++i) {
    const auto a = static_cast<unsigned char>(i < first.size() ? first[i] : ' ');
    const auto b = static_cast<unsigned char>(i < second.size() ? second[i] : ' ');
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

// Negative, zero or positive as `first` sorts before, equal to or after `second`,
// bytes compared unsigned, the shorter text taken as padded with blanks.
inline int compare_string(std::string_view first, std::string_view second) {
  // Texts of one length, such as four-character labels, compare byte for byte.
  if (first.size() == second.size()) {
    for (std::size_t i = 0; i < first.size(); ++i) {
      const auto a = static_cast<unsigned char>(first[i]);
      const auto b = static_cast<unsigned char>(second[i]);
      if (a != b) return a < b ? -1 : 1;
    }
    return 0;
  }
  return compare_padded(first, second);
}

}  // namespace extract
