#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace records {

// Why a numeric field could not be converted.
enum class field_failure : std::uint8_t {
  none,
  malformed,     // a character that cannot belong to the number, or no digits at all
  sign_only,     // a sign with nothing after it
  out_of_range,  // an I field beyond the signed 32-bit range
  too_wide,      // wider than any field a format can describe
};

// Plain words for a failure, for the report; empty where the field text says it all.
std::string_view failure_detail(field_failure failure);

template <typename T>
struct field_result {
  T value{};
  field_failure failure = field_failure::none;
};

// Aw into an item: the rightmost characters when the field is wider than the item,
// the field followed by blanks when it is narrower.
void read_character_field(std::string_view field, std::span<char> item);

// Iw: blanks are ignored anywhere; an all-blank field is 0.
field_result<std::int32_t> read_integer_field(std::string_view field);

// Fw.d: blanks are ignored anywhere; an all-blank field is 0. Without a decimal point
// the last `decimals` digits of the mantissa are its fraction. The exponent is "E",
// "e", "D" or "d" with an optional sign, or a bare sign, followed by digits. The value
// is rounded once to the nearest binary32, ties to even; beyond the largest finite
// binary32 it is infinity and below the smallest subnormal it is zero, with the sign.
field_result<float> read_real_field(std::string_view field, std::int32_t decimals);

// The general Fw.d conversion: the field's text normalised and converted with
// from_chars. read_real_field gives the same result, taking quicker routes for
// the common shapes.
field_result<float> read_real_field_by_text(std::string_view field, std::int32_t decimals);

}  // namespace records
