#include "records/quick_input.hpp"

#include <array>

namespace records {
namespace {

// 10^k for k <= 10 is exact in binary32, as is every integer up to 2^24, so one
// division of the two rounds the decimal value once, correctly.
constexpr std::array<float, 11> exact_powers_of_ten = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                       1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr std::uint32_t exact_mantissa_limit = 1u << 24;

}  // namespace

std::optional<float> read_plain_real(std::string_view field, std::int32_t decimals) {
  const char* at = field.data();
  const char* const end = at + field.size();
  while (at != end && *at == ' ')
    ++at;
  if (at == end) return 0.0f;
  const bool negative = *at == '-';
  if (negative || *at == '+') ++at;
  // Nine digits cannot overflow the mantissa; more go to the general conversion.
  if (at == end || end - at > 10) return std::nullopt;
  std::uint32_t mantissa = 0;
  const char* point = nullptr;
  for (const char* digit_at = at; digit_at != end; ++digit_at) {
    const auto digit = static_cast<unsigned char>(*digit_at - '0');
    if (digit <= 9) {
      mantissa = mantissa * 10 + digit;
    } else if (*digit_at == '.' && point == nullptr) {
      point = digit_at;
    } else {
      return std::nullopt;
    }
  }
  const auto fraction_digits =
      point != nullptr ? static_cast<std::int32_t>(end - point - 1) : decimals;
  const auto digit_count = (end - at) - (point != nullptr ? 1 : 0);
  if (digit_count == 0 || digit_count > 9 || mantissa > exact_mantissa_limit ||
      fraction_digits < 0 ||
      fraction_digits >= static_cast<std::int32_t>(exact_powers_of_ten.size())) {
    return std::nullopt;
  }
  const float magnitude =
      static_cast<float>(mantissa) / exact_powers_of_ten[static_cast<std::size_t>(fraction_digits)];
  return negative ? -magnitude : magnitude;
}

std::optional<std::int32_t> read_short_integer(std::string_view field) {
  std::size_t at = 0;
  while (at < field.size() && field[at] == ' ')
    ++at;
  if (at == field.size()) return 0;
  bool negative = false;
  if (field[at] == '-' || field[at] == '+') negative = field[at++] == '-';
  // Nine digits always fit; a lone sign is left to the general conversion.
  const std::size_t digit_count = field.size() - at;
  if (digit_count == 0 || digit_count > 9) return std::nullopt;
  std::int32_t value = 0;
  for (; at < field.size(); ++at) {
    const auto digit = static_cast<unsigned char>(field[at] - '0');
    if (digit > 9) return std::nullopt;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

}  // namespace records
