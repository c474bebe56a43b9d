#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace records {

// The editing functions fill a field of exactly field.size() columns.

// Iw: the value right-justified, w asterisks when it needs more columns.
void write_integer_field(std::int32_t value, std::span<char> field);

// Fw.d: the binary32 value, widened exactly, rounded to d decimals (ties to even),
// right-justified. The "0" before the point is dropped when only that makes the
// text fit; a negative value keeps its "-" even when every digit rounds to zero.
// Values that do not fit, infinities and not-a-number give w asterisks.
void write_real_field(float value, std::int32_t decimals, std::span<char> field);

// The same, appending the w-column field to a string.
void write_integer_field(std::int32_t value, std::int32_t width, std::string& record);
void write_real_field(float value, std::int32_t width, std::int32_t decimals, std::string& record);

}  // namespace records
