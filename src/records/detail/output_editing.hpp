#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "records/detail/digit_pairs.hpp"
#include "records/detail/field_limits.hpp"
#include "records/detail/real_lanes.hpp"

namespace records::detail {

// The editing functions fill a field of exactly Width columns from `field` on.

// Places the lowest `count` digits of `value` right to left before `out` and
// removes them from `value`; returns where they start.
template <typename Unsigned>
char* place_low_digits(Unsigned& value, std::size_t count, char* out) {
  for (; count >= 2; count -= 2) {
    out -= 2;
    std::memcpy(out, &digit_pairs[2 * static_cast<std::size_t>(value % 100)], 2);
    value /= 100;
  }
  if (count == 1) {
    *--out = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out;
}

template <typename Unsigned>
std::size_t decimal_length(Unsigned value) {
  std::size_t length = 1;
  for (; value >= 10; value /= 10)
    ++length;
  return length;
}

// Iw with the width given while running: the body of write_integer_field.
inline void edit_integer(std::int32_t value, std::size_t width, char* field) {
  const bool negative = value < 0;
  // Unsigned negation is defined for the most negative value too.
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (negative) magnitude = 0u - magnitude;
  const std::size_t length = decimal_length(magnitude);
  if (length + (negative ? 1 : 0) > width) {
    std::memset(field, '*', width);
    return;
  }
  char* out = place_low_digits(magnitude, length, field + width);
  if (negative) *--out = '-';
  std::memset(field, ' ', static_cast<std::size_t>(out - field));
}

// Iw: the value right-justified, w asterisks when it needs more columns.
template <std::size_t Width>
void write_integer_field(std::int32_t value, char* field) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  edit_integer(value, Width, field);
}

// The scalar route of Fw.d, for any value, width and decimals: through
// std::to_chars, with w asterisks for a value that does not fit, infinities and
// not-a-number. It takes what the lanes cannot (real_lanes.hpp).
[[gnu::noinline]] void write_real_field_by_text(float value, std::size_t width,
                                                std::size_t decimals, char* field);

// The values of `refused` (a bit each), through the scalar route.
template <std::size_t Width, std::size_t Decimals>
[[gnu::noinline]] void write_refused_values(const float* values, std::uint32_t refused,
                                            char* fields) {
  for (; refused != 0; refused &= refused - 1) {
    const auto k = static_cast<std::size_t>(std::countr_zero(refused));
    write_real_field_by_text(values[k], Width, Decimals, fields + Width * k);
  }
}

// Fw.d of `count` values side by side into fields of Width columns: the binary32
// value, widened exactly, rounded to d decimals (ties to even), right-justified.
// The "0" before the point is dropped when only that makes the text fit; a
// negative value keeps its "-" even when every digit rounds to zero. Values that
// do not fit, infinities and not-a-number give w asterisks. Four values at a time
// go through the lanes where the field's shape allows; what the lanes refuse,
// and every value of other shapes, through the scalar route.
template <std::size_t Width, std::size_t Decimals>
[[gnu::always_inline]] inline void write_real_row(const float* values, std::size_t count,
                                                  char* fields) {
  static_assert(Width >= 1 && Width <= static_cast<std::size_t>(max_field_width));
  static_assert(Decimals <= Width);
  if constexpr (real_lanes::takes<Width, Decimals>) {
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
      if (const std::uint32_t refused =
              real_lanes::edit_four<Width, Decimals>(values + k, 4, fields + Width * k);
          refused != 0) [[unlikely]] {
        write_refused_values<Width, Decimals>(values + k, refused, fields + Width * k);
      }
    }
    if (k != count) {
      // The last values, fewer than four, from a copy the lanes may read whole.
      std::array<float, 4> last{};
      std::memcpy(last.data(), values + k, (count - k) * sizeof(float));
      const std::uint32_t refused =
          real_lanes::edit_four<Width, Decimals>(last.data(), count - k, fields + Width * k) &
          ((1u << (count - k)) - 1);
      if (refused != 0) [[unlikely]] {
        write_refused_values<Width, Decimals>(last.data(), refused, fields + Width * k);
      }
    }
  } else {
    for (std::size_t k = 0; k < count; ++k)
      write_real_field_by_text(values[k], Width, Decimals, fields + Width * k);
  }
}

// Fw.d of one value: a row of one.
template <std::size_t Width, std::size_t Decimals>
void write_real_field(float value, char* field) {
  write_real_row<Width, Decimals>(&value, 1, field);
}

}  // namespace records::detail
