#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/detail/format_parser.hpp"

namespace records {

// A parsed format as statements walk it: the items (repeat counts expanded) and
// the format text that literals point into. It refers to storage it does not own.
struct format_view {
  const format_item* items = nullptr;
  std::size_t size = 0;
  std::string_view text;
  bool has_field = false;  // without a field, reversion could never place an item

  constexpr std::string_view literal(const format_item& item) const {
    return text.substr(item.text_at, static_cast<std::size_t>(item.width));
  }
};

// The text of a format given as a template argument: records::format<"(I5)">.
template <std::size_t Size>
struct format_text {
  // From a string literal; the terminating NUL is not part of the text.
  consteval format_text(const char (&text)[Size]) {  // NOLINT(google-explicit-constructor)
    for (std::size_t i = 0; i < Size; ++i)
      chars[i] = text[i];
  }
  constexpr std::string_view view() const { return {chars.data(), Size - 1}; }

  std::array<char, Size> chars{};
};

// A format parsed while compiling: exactly its items, and its text.
template <std::size_t Items, std::size_t Chars>
struct static_format {
  std::array<format_item, Items> items{};
  std::array<char, Chars> text{};
  bool has_field = false;

  constexpr format_view view() const {
    return {items.data(), Items, {text.data(), Chars}, has_field};
  }
};

namespace detail {

struct item_counter {
  std::size_t count = 0;
  bool has_field = false;
  constexpr bool push(const format_item& item) {
    ++count;
    has_field = has_field || item.is_field();
    return true;
  }
};

template <std::size_t Items>
struct item_filler {
  std::array<format_item, Items>& items;
  std::size_t count = 0;
  constexpr bool push(const format_item& item) {
    items[count++] = item;
    return true;
  }
};

template <format_text Text>
consteval auto compile_format() {
  constexpr std::string_view text = Text.view();
  constexpr auto counted = [] {
    item_counter counter;
    const format_problem problem = parse_format_items(Text.view(), counter);
    return std::pair{counter, problem};
  }();
  // A malformed format stops the compilation here; the note that follows names
  // the fault, and `offset` where in the text it is.
  static_assert(counted.second.fault == format_fault::none, "this text is no format");
  static_format<counted.first.count, text.size()> parsed;
  item_filler<counted.first.count> filler{parsed.items};
  (void)parse_format_items(text, filler);
  for (std::size_t i = 0; i < text.size(); ++i)
    parsed.text[i] = text[i];
  parsed.has_field = counted.first.has_field;
  return parsed;
}

}  // namespace detail

// The parse of a format text, made while compiling; a text that is no format
// does not compile.
template <format_text Text>
inline constexpr auto format = detail::compile_format<Text>();

// The most items a format parsed at run time may expand to.
inline constexpr std::size_t max_runtime_items = 1024;

// A format parsed at run time, for tests and fuzzers that take the format from
// data. Literals refer to the parsed text, which must outlive the result.
struct runtime_format {
  std::array<format_item, max_runtime_items> items;
  std::size_t size = 0;
  std::string_view text;
  bool has_field = false;
  format_problem problem;

  bool ok() const { return problem.fault == format_fault::none; }
  format_view view() const { return {items.data(), size, text, has_field}; }
};

// Parses "(" items ")" exactly as the formats of the program are parsed while
// compiling.
runtime_format parse_format(std::string_view text);

}  // namespace records
