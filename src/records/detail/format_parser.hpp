#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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
inline constexpr std::int32_t max_field_width = 255;
inline constexpr std::int32_t max_repeat_count = 255;
inline constexpr std::int32_t max_skip = 4096;

// Why a text is no format. The names show in the compiler's note on a format
// that does not compile.
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
  too_many_items,
};

struct format_problem {
  format_fault fault = format_fault::none;
  std::size_t offset = 0;  // 0-based position in the text where the fault lies
};

// Plain words for a fault, for reports and test messages.
constexpr std::string_view fault_text(format_fault fault) {
  switch (fault) {
    case format_fault::none:
      return "no fault";
    case format_fault::no_opening_parenthesis:
      return "a format begins with \"(\"";
    case format_fault::no_closing_parenthesis:
      return "missing \")\"";
    case format_fault::text_after_closing_parenthesis:
      return "text after the closing \")\"";
    case format_fault::closing_parenthesis_after_comma:
      return "\")\" after a comma";
    case format_fault::comma_without_item_before_it:
      return "a comma needs an item before it";
    case format_fault::items_without_comma_between_them:
      return "items need a comma between them";
    case format_fault::expected_item:
      return "expected an item";
    case format_fault::count_above_limit:
      return "a count above 4096";
    case format_fault::count_of_zero:
      return "a count of zero";
    case format_fault::repeat_count_above_limit:
      return "a repeat count above 255";
    case format_fault::expected_field_width:
      return "expected a field width";
    case format_fault::field_width_above_limit:
      return "a field width above 255";
    case format_fault::field_width_of_zero:
      return "a field width of zero";
    case format_fault::real_field_without_decimals:
      return "an F field needs \".d\"";
    case format_fault::expected_number_of_decimals:
      return "expected the number of decimals";
    case format_fault::more_decimals_than_width:
      return "more decimals than the field is wide";
    case format_fault::literal_without_closing_apostrophe:
      return "a literal without its closing apostrophe";
    case format_fault::too_many_items:
      return "more items than a format parsed at run time may hold";
  }
  return "unknown fault";
}

namespace detail {

// Walks "(" items ")": items separated by commas, except that a slash needs no
// comma on either side. Each item goes to `sink.push(item)`, repeat counts
// expanded; a push that returns false stops the walk. The same code parses the
// program's formats while compiling and test formats at run time.
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
        if (!push({item_kind::slash, 0, 0, 0})) return problem_;
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
  constexpr bool push(const format_item& item) {
    return sink_.push(item) || failed(format_fault::too_many_items);
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
        return push({item_kind::skip, count, 0, 0});
      }
      if (count > max_repeat_count) return failed(format_fault::repeat_count_above_limit);
    }
    format_item field;
    if (!parse_field(field)) return false;
    for (std::int32_t i = 0; i < count; ++i) {
      if (!push(field)) return false;
    }
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
    if (!push({item_kind::literal, length, 0, static_cast<std::uint32_t>(pos_ + 1)})) return false;
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

}  // namespace detail
}  // namespace records
