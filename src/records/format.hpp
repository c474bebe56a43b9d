#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/detail/field_limits.hpp"

namespace records {

enum class item_kind : std::uint8_t {
  skip,       // nX: move the position n columns right
  slash,      // /: end the current record, begin the next
  literal,    // 'text': written as it stands
  character,  // Aw
  integer,    // Iw
  real,       // Fw.d
};

// One element of a parsed format; repeat counts are already expanded.
struct format_item {
  item_kind kind = item_kind::skip;
  std::int32_t width = 0;     // w of a field; n of a skip; the length of a literal
  std::int32_t decimals = 0;  // d of an F field
  std::uint32_t text_at = 0;  // where a literal's characters start in the format text

  constexpr bool is_field() const {
    return kind == item_kind::character || kind == item_kind::integer || kind == item_kind::real;
  }
  friend constexpr bool operator==(const format_item&, const format_item&) = default;
};

// Limits on the numbers a format may hold; they keep every digit loop and every
// record the format builds small, whatever text reaches the parser.
inline constexpr std::int32_t max_field_width = detail::max_field_width;
inline constexpr std::int32_t max_repeat_count = 255;
inline constexpr std::int32_t max_skip = 4096;

// Why a text is no format.
enum class format_fault : std::uint8_t {
  none,
  no_opening_parenthesis,
  no_closing_parenthesis,
  text_after_closing_parenthesis,
  closing_parenthesis_after_comma,
  comma_without_item_before_it,
  items_without_comma_between_them,
  expected_item,
  count_above_limit,
  count_of_zero,
  repeat_count_above_limit,
  expected_field_width,
  field_width_above_limit,
  field_width_of_zero,
  real_field_without_decimals,
  expected_number_of_decimals,
  more_decimals_than_width,
  literal_without_closing_apostrophe,
};

struct format_problem {
  format_fault fault = format_fault::none;
  std::size_t offset = 0;  // 0-based position in the text where the fault lies
};

// Walks "(" items ")": items separated by commas, except that a slash needs no
// comma on either side. Each item goes to `sink.push(item)`, repeat counts
// expanded. The program's formats are parsed while compiling; tests call the
// same parser at run time.
template <typename Sink>
class format_parser {
 public:
  constexpr format_parser(std::string_view text, Sink& sink) : text_(text), sink_(sink) {}

  constexpr format_problem parse() {
    if (peek() != '(') return fail(format_fault::no_opening_parenthesis);
    ++pos_;
    while (true) {
      if (pos_ == text_.size()) return fail(format_fault::no_closing_parenthesis);
      const char c = peek();
      if (c == ')') {
        if (state_ == state::after_comma)
          return fail(format_fault::closing_parenthesis_after_comma);
        ++pos_;
        if (pos_ != text_.size()) return fail(format_fault::text_after_closing_parenthesis);
        return {};
      }
      if (c == '/') {
        sink_.push({item_kind::slash, 0, 0, 0});
        ++pos_;
        state_ = state::after_slash;
        continue;
      }
      if (c == ',') {
        if (state_ != state::after_item && state_ != state::after_slash) {
          return fail(format_fault::comma_without_item_before_it);
        }
        ++pos_;
        state_ = state::after_comma;
        continue;
      }
      if (state_ == state::after_item) return fail(format_fault::items_without_comma_between_them);
      if (!parse_item()) return problem_;
      state_ = state::after_item;
    }
  }

 private:
  enum class state { start, after_item, after_comma, after_slash };

  constexpr char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  static constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

  constexpr format_problem fail(format_fault fault) {
    problem_ = {fault, pos_};
    return problem_;
  }
  constexpr bool failed(format_fault fault) {
    fail(fault);
    return false;
  }

  // A positive decimal number of at most `limit`; the loop stops before overflow.
  constexpr bool parse_number(std::int32_t limit, format_fault missing, format_fault above,
                              format_fault zero, std::int32_t& value) {
    if (!is_digit(peek())) return failed(missing);
    value = 0;
    while (is_digit(peek())) {
      value = value * 10 + (peek() - '0');
      if (value > limit) return failed(above);
      ++pos_;
    }
    if (value == 0) return failed(zero);
    return true;
  }

  constexpr bool parse_item() {
    if (peek() == '\'') return parse_literal();
    std::int32_t count = 1;
    if (is_digit(peek())) {
      if (!parse_number(max_skip, format_fault::expected_item, format_fault::count_above_limit,
                        format_fault::count_of_zero, count)) {
        return false;
      }
      if (peek() == 'X') {
        ++pos_;
        sink_.push({item_kind::skip, count, 0, 0});
        return true;
      }
      if (count > max_repeat_count) return failed(format_fault::repeat_count_above_limit);
    }
    format_item field;
    if (!parse_field(field)) return false;
    for (std::int32_t i = 0; i < count; ++i)
      sink_.push(field);
    return true;
  }

  constexpr bool parse_field(format_item& field) {
    switch (peek()) {
      case 'A':
        field.kind = item_kind::character;
        break;
      case 'I':
        field.kind = item_kind::integer;
        break;
      case 'F':
        field.kind = item_kind::real;
        break;
      default:
        return failed(format_fault::expected_item);
    }
    ++pos_;
    if (!parse_number(max_field_width, format_fault::expected_field_width,
                      format_fault::field_width_above_limit, format_fault::field_width_of_zero,
                      field.width)) {
      return false;
    }
    if (field.kind != item_kind::real) return true;
    if (peek() != '.') return failed(format_fault::real_field_without_decimals);
    ++pos_;
    if (!is_digit(peek())) return failed(format_fault::expected_number_of_decimals);
    field.decimals = 0;
    while (is_digit(peek())) {
      field.decimals = field.decimals * 10 + (peek() - '0');
      if (field.decimals > field.width) return failed(format_fault::more_decimals_than_width);
      ++pos_;
    }
    return true;
  }

  constexpr bool parse_literal() {
    // A plain loop, not string_view::find: under the sanitizers the library's
    // search compares a pointer with null, which a constant expression refuses.
    std::size_t close = pos_ + 1;
    while (close < text_.size() && text_[close] != '\'')
      ++close;
    if (close == text_.size()) return failed(format_fault::literal_without_closing_apostrophe);
    const auto length = static_cast<std::int32_t>(close - pos_ - 1);
    sink_.push({item_kind::literal, length, 0, static_cast<std::uint32_t>(pos_ + 1)});
    pos_ = close + 1;
    return true;
  }

  std::string_view text_;
  Sink& sink_;
  std::size_t pos_ = 0;
  state state_ = state::start;
  format_problem problem_;
};

template <typename Sink>
constexpr format_problem parse_format_items(std::string_view text, Sink& sink) {
  return format_parser<Sink>(text, sink).parse();
}

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

// A format parsed while compiling: exactly its items, and its text, which its
// literals point into.
template <std::size_t Items, std::size_t Chars>
struct compiled_format {
  std::array<format_item, Items> items{};
  std::array<char, Chars> text{};
  format_problem problem;

  constexpr bool ok() const { return problem.fault == format_fault::none; }
  constexpr std::string_view literal(const format_item& item) const {
    return {text.data() + item.text_at, static_cast<std::size_t>(item.width)};
  }
};

namespace compile_time {

struct item_counter {
  std::size_t count = 0;
  constexpr void push(const format_item&) { ++count; }
};

template <std::size_t Items>
struct item_filler {
  std::array<format_item, Items>& items;
  std::size_t count = 0;
  constexpr void push(const format_item& item) { items[count++] = item; }
};

// A malformed format stops the compilation with the one error below that names
// its fault; the format is then taken as empty, so nothing else complains.
template <format_fault Fault>
constexpr void name_the_fault() {
  using enum format_fault;
  static_assert(Fault != no_opening_parenthesis,
                "this text is no format: it must begin with \"(\"");
  static_assert(Fault != no_closing_parenthesis, "this text is no format: missing \")\"");
  static_assert(Fault != text_after_closing_parenthesis,
                "this text is no format: text after the closing \")\"");
  static_assert(Fault != closing_parenthesis_after_comma,
                "this text is no format: \")\" after a comma");
  static_assert(Fault != comma_without_item_before_it,
                "this text is no format: a comma needs an item before it");
  static_assert(Fault != items_without_comma_between_them,
                "this text is no format: items need a comma between them");
  static_assert(Fault != expected_item, "this text is no format: expected an item");
  static_assert(Fault != count_above_limit, "this text is no format: a count above 4096");
  static_assert(Fault != count_of_zero, "this text is no format: a count of zero");
  static_assert(Fault != repeat_count_above_limit,
                "this text is no format: a repeat count above 255");
  static_assert(Fault != expected_field_width, "this text is no format: expected a field width");
  static_assert(Fault != field_width_above_limit,
                "this text is no format: a field width above 255");
  static_assert(Fault != field_width_of_zero, "this text is no format: a field width of zero");
  static_assert(Fault != real_field_without_decimals,
                "this text is no format: an F field needs \".d\"");
  static_assert(Fault != expected_number_of_decimals,
                "this text is no format: expected the number of decimals");
  static_assert(Fault != more_decimals_than_width,
                "this text is no format: more decimals than the field is wide");
  static_assert(Fault != literal_without_closing_apostrophe,
                "this text is no format: a literal without its closing apostrophe");
}

template <format_text Text>
consteval auto compile_format() {
  constexpr std::string_view text = Text.view();
  constexpr auto counted = [] {
    item_counter counter;
    const format_problem problem = parse_format_items(Text.view(), counter);
    return std::pair{counter.count, problem};
  }();
  name_the_fault<counted.second.fault>();
  constexpr bool ok = counted.second.fault == format_fault::none;
  compiled_format<ok ? counted.first : 0, text.size()> parsed;
  parsed.problem = counted.second;
  for (std::size_t i = 0; i < text.size(); ++i)
    parsed.text[i] = text[i];
  if constexpr (ok) {
    item_filler<counted.first> filler{parsed.items};
    parse_format_items(text, filler);
  }
  return parsed;
}

}  // namespace compile_time

// The parse of a format text, made while compiling; a text that is no format
// does not compile.
template <format_text Text>
inline constexpr auto format = compile_time::compile_format<Text>();

}  // namespace records
