#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace records {

// Negative, zero or positive as `first` sorts before, equal to or after `second`,
// bytes compared unsigned, the shorter text taken as padded with blanks.
inline int compare_string(std::string_view first, std::string_view second) {
  const auto byte_order = [](char a, char b) {
    return static_cast<unsigned char>(a) < static_cast<unsigned char>(b) ? -1 : 1;
  };
  // Texts of one length, such as four-character labels, compare byte for byte.
  if (first.size() == second.size()) {
    for (std::size_t i = 0; i < first.size(); ++i) {
      if (first[i] != second[i]) return byte_order(first[i], second[i]);
    }
    return 0;
  }
  const std::size_t length = std::max(first.size(), second.size());
  for (std::size_t i = 0; i < length; ++i) {
    const char a = i < first.size() ? first[i] : ' ';
    const char b = i < second.size() ? second[i] : ' ';
    if (a != b) return byte_order(a, b);
  }
  return 0;
}

}  // namespace records
