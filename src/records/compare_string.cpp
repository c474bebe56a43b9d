#include <algorithm>

#include "records/statement.hpp"

namespace records {

int detail::compare_padded(std::string_view first, std::string_view second) {
  const std::size_t length = std::max(first.size(), second.size());
  for (std::size_t i = 0; i < length; ++i) {
    const auto a = static_cast<unsigned char>(i < first.size() ? first[i] : ' ');
    const auto b = static_cast<unsigned char>(i < second.size() ? second[i] : ' ');
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

}  // namespace records
