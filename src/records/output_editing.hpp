#pragma once

#include <cstdint>
#include <string>

namespace records {

// Iw: the value right-justified in w columns, w asterisks when it needs more.
void write_integer_field(std::int32_t value, std::int32_t width, std::string& record);

// Fw.d: the binary32 value, widened exactly, rounded to d decimals (ties to even),
// right-justified in w columns. The "0" before the point is dropped when only that
// makes the text fit; a negative value keeps its "-" even when every digit rounds
// to zero. Values that do not fit, infinities and not-a-number give w asterisks.
void write_real_field(float value, std::int32_t width, std::int32_t decimals, std::string& record);

}  // namespace records
