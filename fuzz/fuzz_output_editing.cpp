// Output editing of arbitrary values: an Fw.d or Iw field always fills exactly its
// w columns, holds the text that printf gives for the value (with the optional "0"
// dropped where only that makes it fit), or w asterisks exactly when it does not
// fit, and reads back through the input conversion as the value rounded to d
// decimals.
//
// Input: bytes 0-3 are a binary32 and, the same bits, a signed 32-bit integer; they
// go through F10.5, I5 and I3, the fields of the vector file. F10.5 is edited both
// ways the program edits it, with w and d given while running and known while
// compiling, and the two must agree. Bytes 4 and 5, when present, give one more
// field of any width (1-255) and decimals (0-w).

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

namespace {

[[noreturn]] void fail(const char* what, std::string_view text, std::uint32_t bits,
                       std::int32_t width, std::int32_t decimals) {
  std::fprintf(stderr, "fuzz_output_editing: %s; bits 0x%08X, w = %d, d = %d, text \"%.*s\"\n",
               what, bits, width, decimals, static_cast<int>(text.size()), text.data());
  std::abort();
}

// A heap block of exactly w columns, full of a byte that no field holds: a column
// left unwritten shows in the text, and one written outside the block is an
// AddressSanitizer finding.
std::string edited(float value, std::int32_t width, std::int32_t decimals, bool real,
                   std::uint32_t bits) {
  const auto w = static_cast<std::size_t>(width);
  const std::unique_ptr<char[]> columns(new char[w]);
  std::memset(columns.get(), '\x01', w);
  if (real) {
    records::detail::write_real_field(value, decimals, {columns.get(), w});
  } else {
    records::detail::write_integer_field(std::bit_cast<std::int32_t>(bits), {columns.get(), w});
  }
  std::string text(columns.get(), w);
  if (real && width == 10 && decimals == 5) {
    const std::unique_ptr<char[]> planned(new char[w]);
    std::memset(planned.get(), '\x01', w);
    records::detail::write_real_field<10, 5>(value, planned.get());
    if (std::string_view(planned.get(), w) != text) {
      fail("the F10.5 known while compiling gives another text", {planned.get(), w}, bits, width,
           decimals);
    }
  }
  return text;
}

std::string right_justified(const std::string& text, std::int32_t width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

// Returns whether the value fitted.
bool check_real_field(std::uint32_t bits, std::int32_t width, std::int32_t decimals) {
  const float value = std::bit_cast<float>(bits);
  const std::string text = edited(value, width, decimals, true, bits);
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

  const auto back = records::detail::read_real_field(text, decimals);
  const float rounded = std::strtof(printed.c_str(), nullptr);
  if (back.failure != records::detail::field_failure::none ||
      std::bit_cast<std::uint32_t>(back.value) != std::bit_cast<std::uint32_t>(rounded)) {
    fail("the field does not read back as the rounded value", text, bits, width, decimals);
  }
  return true;
}

bool check_integer_field(std::uint32_t bits, std::int32_t width) {
  const std::string text = edited(0.0f, width, 0, false, bits);
  const auto value = std::bit_cast<std::int32_t>(bits);
  const std::string expected = right_justified(std::to_string(value), width);
  if (text != expected) fail("another text than the decimal digits", text, bits, width, 0);
  if (text.front() == '*') return false;
  const auto back = records::detail::read_integer_field(text);
  if (back.failure != records::detail::field_failure::none || back.value != value) {
    fail("the field does not read back as the value", text, bits, width, 0);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return -1;
  std::uint32_t bits = 0;
  std::memcpy(&bits, data, sizeof bits);

  // The vector file's fields, with their ranges stated outright.
  const bool fitted = check_real_field(bits, 10, 5);
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
  if (check_integer_field(bits, 5) != (integer >= -9999 && integer <= 99999)) {
    fail("I5 asterisks out of step with its range", {}, bits, 5, 0);
  }
  if (check_integer_field(bits, 3) != (integer >= -99 && integer <= 999)) {
    fail("I3 asterisks out of step with its range", {}, bits, 3, 0);
  }

  if (size >= 6) {
    const std::int32_t width = 1 + data[4] % records::max_field_width;
    const std::int32_t decimals = data[5] % (width + 1);
    check_real_field(bits, width, decimals);
    check_integer_field(bits, width);
  }
  return 0;
}
