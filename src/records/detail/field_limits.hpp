#pragma once

#include <cstdint>

namespace records::detail {

// The widest field a format may describe: the editors' fixed buffers and digit
// loops are sized by it.
inline constexpr std::int32_t max_field_width = 255;

}  // namespace records::detail
