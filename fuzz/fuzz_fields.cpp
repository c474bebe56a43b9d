// Field conversions on arbitrary bytes: an Aw, Iw or Fw.d field either converts or
// fails with a bad-field reason, and what it converts to agrees with a reading of
// the field computed here independently; an Fw.d field read twice side by side
// as a row reads as it does alone. Iw and Fw.d are compiled for their width
// and decimals, as a statement compiles them: the shapes of
// tests/support/field_shapes.hpp (every Fw.d up to w = 12, wider ones up to 255,
// the listing's I3, I6, I8, F8.3 and F8.5 among them).
//
// Input: byte 0 picks the kind (value % 3) and, for Aw, with its top bit adds one
// to the width; byte 1 is the width of an Aw field or picks the shape of an Iw or
// Fw.d field (value % the number of shapes); byte 2 is, for Aw, the item length;
// the rest is the field, cut to w bytes or completed with blanks as a short
// record would be. The field is copied into a heap block of exactly w bytes, so
// that a read past its end is an AddressSanitizer finding.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "records/detail/input_editing.hpp"
#include "support/field_shapes.hpp"

namespace {

using records::detail::field_failure;

[[noreturn]] void fail(const char* what, std::string_view field) {
  std::fprintf(stderr, "fuzz_fields: %s; field of %zu bytes: \"", what, field.size());
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
      std::fputc(c, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", byte);
    }
  }
  std::fputs("\"\n", stderr);
  std::abort();
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::string without_blanks(std::string_view field) {
  std::string text;
  for (const char c : field) {
    if (c != ' ') text += c;
  }
  return text;
}

struct expected_integer {
  std::int32_t value = 0;
  field_failure failure = field_failure::none;
};

// An optional sign and decimal digits, read digit by digit into 64 bits.
expected_integer integer_reading(std::string_view field) {
  const std::string text = without_blanks(field);
  if (text.empty()) return {};
  std::size_t at = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') ++at;
  if (at == text.size()) return {0, field_failure::sign_only};
  constexpr std::int64_t beyond = std::int64_t{1} << 32;
  std::int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    if (!is_digit(text[at])) return {0, field_failure::malformed};
    // Saturating keeps the value meaningful however many digits follow.
    magnitude = std::min(magnitude * 10 + (text[at] - '0'), beyond);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return {0, field_failure::out_of_range};
  return {static_cast<std::int32_t>(value), field_failure::none};
}

struct expected_real {
  field_failure failure = field_failure::none;
  // The field rewritten for strtof: sign, digits with the point placed, exponent.
  std::string decimal_text = "0";
};

// The grammar of an F field, then the implied point placed by moving digits, not
// by arithmetic on the exponent: strtof copes with exponents of any length.
expected_real real_reading(std::string_view field, std::int32_t decimals) {
  const std::string text = without_blanks(field);
  if (text.empty()) return {};
  std::size_t at = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') ++at;
  if (at == text.size()) return {field_failure::sign_only, {}};

  std::string digits;
  bool has_point = false;
  std::size_t digits_before_point = 0;
  for (; at < text.size(); ++at) {
    if (is_digit(text[at])) {
      digits += text[at];
    } else if (text[at] == '.' && !has_point) {
      has_point = true;
      digits_before_point = digits.size();
    } else {
      break;
    }
  }
  if (digits.empty()) return {field_failure::malformed, {}};

  std::string exponent;
  if (at < text.size()) {
    const char c = text[at];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++at;
      if (at < text.size() && (text[at] == '+' || text[at] == '-')) exponent += text[at++];
    } else if (c == '+' || c == '-') {
      exponent += text[at++];
    } else {
      return {field_failure::malformed, {}};
    }
    const std::size_t first_digit = at;
    while (at < text.size() && is_digit(text[at]))
      exponent += text[at++];
    if (at == first_digit || at != text.size()) return {field_failure::malformed, {}};
  }

  const std::size_t fraction =
      has_point ? digits.size() - digits_before_point : static_cast<std::size_t>(decimals);
  std::string placed = negative ? "-" : "";
  if (fraction <= digits.size()) {
    const std::string integer_part = digits.substr(0, digits.size() - fraction);
    placed += integer_part.empty() ? "0" : integer_part;
    placed += '.';
    placed += digits.substr(digits.size() - fraction);
  } else {
    placed += "0.";
    placed.append(fraction - digits.size(), '0');
    placed += digits;
  }
  if (!exponent.empty()) placed += "e" + exponent;
  return {field_failure::none, placed};
}

void check_integer(std::string_view field, const testing_support::integer_shape& shape) {
  const expected_integer expected = integer_reading(field);
  const auto result = shape.read(field);
  if (result.failure != expected.failure) fail("integer field: another outcome", field);
  if (result.failure == field_failure::none && result.value != expected.value) {
    fail("integer field: another value", field);
  }
}

// The field twice side by side, read as a row: the second reads as the field
// alone, or the row stops at the first with the field's failure.
void check_real_pair(std::string_view field, const testing_support::real_shape& shape,
                     records::detail::field_result<float> alone) {
  const std::unique_ptr<char[]> pair(new char[2 * field.size()]);
  std::memcpy(pair.get(), field.data(), field.size());
  std::memcpy(pair.get() + field.size(), field.data(), field.size());
  float values[2] = {};
  const auto row = shape.read_pair(pair.get(), values);
  const bool agrees = alone.failure == field_failure::none
                          ? row.converted == 2 && std::bit_cast<std::uint32_t>(values[1]) ==
                                                      std::bit_cast<std::uint32_t>(alone.value)
                          : row.converted == 0 && row.failure == alone.failure;
  if (!agrees) fail("real field: read in a row, another outcome", field);
}

void check_real(std::string_view field, const testing_support::real_shape& shape) {
  const auto decimals = static_cast<std::int32_t>(shape.decimals);
  const expected_real expected = real_reading(field, decimals);
  const auto result = shape.read(field);
  if (result.failure != expected.failure) fail("real field: another outcome", field);
  check_real_pair(field, shape, result);
  if (result.failure != field_failure::none) return;
  // strtof rounds correctly to nearest, ties to even, into the subnormals and to
  // zero or infinity beyond them, keeping the sign: exactly what the field means.
  const float value = std::strtof(expected.decimal_text.c_str(), nullptr);
  if (std::bit_cast<std::uint32_t>(result.value) != std::bit_cast<std::uint32_t>(value)) {
    std::fprintf(stderr, "read %a, expected %a from %s with d = %d\n",
                 static_cast<double>(result.value), static_cast<double>(value),
                 expected.decimal_text.c_str(), decimals);
    fail("real field: another value", field);
  }
}

void check_character(std::string_view field, std::size_t item_length) {
  const std::unique_ptr<char[]> item(new char[item_length]);
  records::detail::read_character_field(field, {item.get(), item_length});
  const std::string_view got(item.get(), item_length);
  std::string expected;
  if (field.size() >= item_length) {
    expected = field.substr(field.size() - item_length);
  } else {
    expected = std::string(field) + std::string(item_length - field.size(), ' ');
  }
  if (got != expected) fail("character field: another item", field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using testing_support::integer_shapes;
  using testing_support::real_shapes;
  if (size < 3) return -1;
  const int kind = data[0] % 3;
  const auto& integer_shape = integer_shapes[data[1] % integer_shapes.size()];
  const auto& real_shape = real_shapes[data[1] % real_shapes.size()];
  const std::size_t width = kind == 0   ? std::size_t{data[1]} + (data[0] >> 7)
                            : kind == 1 ? integer_shape.width
                                        : real_shape.width;
  const std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);

  const std::unique_ptr<char[]> bytes(new char[width]);
  const std::size_t taken = std::min(width, rest.size());
  std::memcpy(bytes.get(), rest.data(), taken);
  std::memset(bytes.get() + taken, ' ', width - taken);
  const std::string_view field(bytes.get(), width);

  switch (kind) {
    case 0:
      check_character(field, std::size_t{1} + data[2] % 8);
      break;
    case 1:
      check_integer(field, integer_shape);
      break;
    default:
      check_real(field, real_shape);
      break;
  }
  return 0;
}
