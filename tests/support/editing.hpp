#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records/detail/input_editing.hpp"

namespace testing_support {

// Output editing into a field first filled with a byte no editing writes, so
// that a column the editing leaves alone shows as '#'.
std::string integer_text(std::int32_t value, std::int32_t width);
std::string real_text(float value, std::int32_t width, std::int32_t decimals);

// The same editing of the one repeated field of a statement, its width and
// decimals known while compiling.
std::string real_text_f10_5(float value);

// Fw.d input through std::from_chars alone, for comparing with the quicker routes.
records::detail::field_result<float> read_real_field_by_text(std::string_view field,
                                                             std::int32_t decimals);

// Field text as it appears inside the quotes of a report.
std::string printable(std::string_view bytes);

}  // namespace testing_support
