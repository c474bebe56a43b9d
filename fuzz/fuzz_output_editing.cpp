// Output editing of arbitrary values: an Fw.d or Iw field always fills exactly its
// w columns, holds the text that printf gives for the value (with the optional "0"
// dropped where only that makes it fit), or w asterisks exactly when it does not
// fit, and reads back through the input conversion as the value rounded to d
// decimals.
//
// Every field is edited as a statement compiles it, its width and decimals
// constants; a real field must also agree with the scalar route, and a row of
// five F10.5 values with each value edited alone.
//
// Input: bytes 0-3 are a binary32 and, the same bits, a signed 32-bit integer; they
// go through F10.5, I5 and I3, the fields of the vector file. Bytes 4 and 5, when
// present, pick one more Fw.d and one more Iw (value % the number of shapes) from
// the shapes of tests/support/field_shapes.hpp: every Fw.d up to w = 12 and wider
// ones up to 255.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "records/detail/input_editing.hpp"
#include "records/detail/output_editing.hpp"
#include "records/format.hpp"
#include "support/field_shapes.hpp"

namespace {

[[noreturn]] void fail(const char* what, std::string_view text, std::uint32_t bits,
                       std::int32_t width, std::int32_t decimals) {
  std::fprintf(stderr, "fuzz_output_editing: %s; bits 0x%08X, w = %d, d = %d, text \"%.*s\"\n",
               what, bits, width, decimals, static_cast<int>(text.size()), text.data());
  std::abort();
}

using testing_support::integer_shape;
using testing_support::real_shape;

// A heap block of exactly w columns, full of a byte that no field holds: a column
// left unwritten shows in the text, and one written outside the block is an
// AddressSanitizer finding.
template <typename Edit>
std::string edited(std::size_t width, Edit edit) {
  const std::unique_ptr<char[]> columns(new char[width]);
  std::memset(columns.get(), '\x01', width);
  edit(columns.get());
  return {columns.get(), width};
}

std::string right_justified(const std::string& text, std::int32_t width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

// Returns whether the value fitted.
bool check_real_field(std::uint32_t bits, const real_shape& shape) {
  const auto width = static_cast<std::int32_t>(shape.width);
  const auto decimals = static_cast<std::int32_t>(shape.decimals);
  const float value = std::bit_cast<float>(bits);
  const std::string text = edited(shape.width, [&](char* field) { shape.write(value, field); });
  const std::string by_text = edited(shape.width, [&](char* field) {
    records::detail::write_real_field_by_text(value, shape.width, shape.decimals, field);
  });
  if (by_text != text) fail("the general route gives another text", by_text, bits, width, decimals);
  if (!std::isfinite(value)) {
    if (text != std::string(static_cast<std::size_t>(width), '*')) {
      fail("a non-finite value not written as asterisks", text, bits, width, decimals);
    }
    return false;
  }
  // printf rounds the exact binary value to nearest, ties to even; "#" keeps the
  // point when d is 0. The largest binary32 needs 39 integer digits.
  char buffer[64 + records::max_field_width];
  const int length = std::snprintf(buffer, sizeof buffer, "%#.*f", static_cast<int>(decimals),
                                   static_cast<double>(value));
  std::string printed(buffer, static_cast<std::size_t>(length));
  const bool negative = printed.front() == '-';
  if (printed.size() > static_cast<std::size_t>(width) &&
      printed.compare(negative ? 1 : 0, 2, "0.") == 0) {
    printed.erase(negative ? 1 : 0, 1);
  }
  const std::string expected = right_justified(printed, width);
  if (text != expected) fail("another text than printf's", text, bits, width, decimals);
  if (text.front() == '*') return false;
  // With no decimals and the "0" dropped ("." or "-."), no digit is left to read.
  if (printed.find_first_of("0123456789") == std::string::npos) return true;

  const auto back = shape.read(text);
  const float rounded = std::strtof(printed.c_str(), nullptr);
  if (back.failure != records::detail::field_failure::none ||
      std::bit_cast<std::uint32_t>(back.value) != std::bit_cast<std::uint32_t>(rounded)) {
    fail("the field does not read back as the rounded value", text, bits, width, decimals);
  }
  return true;
}

bool check_integer_field(std::uint32_t bits, const integer_shape& shape) {
  const auto width = static_cast<std::int32_t>(shape.width);
  const auto value = std::bit_cast<std::int32_t>(bits);
  const std::string text = edited(shape.width, [&](char* field) { shape.write(value, field); });
  const std::string expected = right_justified(std::to_string(value), width);
  if (text != expected) fail("another text than the decimal digits", text, bits, width, 0);
  if (text.front() == '*') return false;
  const auto back = shape.read(text);
  if (back.failure != records::detail::field_failure::none || back.value != value) {
    fail("the field does not read back as the value", text, bits, width, 0);
  }
  return true;
}

// A row of five F10.5 values, the value beside its negation, values of another
// magnitude and other digits, edited at once as a coefficient record is: each
// field as its value edited alone, and nothing written past the row.
void check_row_of_values(std::uint32_t bits) {
  const float row[] = {std::bit_cast<float>(bits), std::bit_cast<float>(bits ^ 0x80000000u),
                       std::bit_cast<float>(bits + 0x04000000u),
                       std::bit_cast<float>(bits - 0x04000000u),
                       std::bit_cast<float>(bits ^ 0x00155555u)};
  constexpr std::size_t count = sizeof row / sizeof row[0];
  const std::string text = edited(10 * count + 1, [&](char* fields) {
    records::detail::write_real_row<10, 5>(row, count, fields);
  });
  if (text.back() != '\x01') fail("a row of values written past its end", text, bits, 10, 5);
  for (std::size_t k = 0; k < count; ++k) {
    const std::string alone = edited(
        10, [&](char* field) { records::detail::write_real_field_by_text(row[k], 10, 5, field); });
    if (text.compare(10 * k, 10, alone) != 0) {
      fail("a value in a row edited otherwise than alone", text, bits, 10, 5);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using testing_support::find_integer_shape;
  using testing_support::find_real_shape;
  using testing_support::integer_shapes;
  using testing_support::real_shapes;
  if (size < 4) return -1;
  std::uint32_t bits = 0;
  std::memcpy(&bits, data, sizeof bits);

  // The vector file's fields, with their ranges stated outright.
  const bool fitted = check_real_field(bits, *find_real_shape(10, 5));
  const float value = std::bit_cast<float>(bits);
  if (std::isfinite(value)) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.5f", static_cast<double>(value));
    const double rounded = std::strtod(buffer, nullptr);
    const bool in_range = rounded >= std::strtod("-999.99999", nullptr) &&
                          rounded <= std::strtod("9999.99999", nullptr);
    if (fitted != in_range) fail("F10.5 asterisks out of step with its range", buffer, bits, 10, 5);
  }
  const auto integer = std::bit_cast<std::int32_t>(bits);
  if (check_integer_field(bits, *find_integer_shape(5)) != (integer >= -9999 && integer <= 99999)) {
    fail("I5 asterisks out of step with its range", {}, bits, 5, 0);
  }
  if (check_integer_field(bits, *find_integer_shape(3)) != (integer >= -99 && integer <= 999)) {
    fail("I3 asterisks out of step with its range", {}, bits, 3, 0);
  }

  if (size >= 6) {
    check_real_field(bits, real_shapes[data[4] % real_shapes.size()]);
    check_integer_field(bits, integer_shapes[data[5] % integer_shapes.size()]);
  }
  check_row_of_values(bits);
  return 0;
}
