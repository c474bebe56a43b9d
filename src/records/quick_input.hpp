#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace records {

// Quick conversions for the shapes nearly every field of a listing has. Each
// gives the value the general conversion gives, or nothing, and then the general
// conversion decides (it alone reports failures).

// A real field of leading blanks, an optional sign, and at most nine digits with
// at most one point, whose value one binary32 division gives correctly rounded.
std::optional<float> read_plain_real(std::string_view field, std::int32_t decimals);

// An integer field of leading blanks, an optional sign and at most nine digits.
std::optional<std::int32_t> read_short_integer(std::string_view field);

}  // namespace records
