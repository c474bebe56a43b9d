#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records/detail/input_editing.hpp"

namespace testing_support {

// Output editing into a field first filled with a byte no editing writes, so
// that a column the editing leaves alone shows as '#'. Each goes through the
// editor compiled for its width and decimals (support/field_shapes.hpp); a
// shape missing from the tables fails the test.
std::string integer_text(std::int32_t value, std::int32_t width);
std::string real_text(float value, std::int32_t width, std::int32_t decimals);
// The same field through the general route alone.
std::string real_text_by_text(float value, std::int32_t width, std::int32_t decimals);

// Input conversions compiled the same way, of a field of field.size() columns or,
// where the tables lack that width, of the field behind blanks in the next wider.
records::detail::field_result<std::int32_t> read_integer(std::string_view field);
records::detail::field_result<float> read_real(std::string_view field, std::int32_t decimals);

// Fw.d input through the exact fallback alone, for comparing with the quicker routes.
records::detail::field_result<float> read_real_field_by_text(std::string_view field,
                                                             std::int32_t decimals);

// Field text as it appears inside the quotes of a report.
std::string printable(std::string_view bytes);

}  // namespace testing_support
