#include "records/format.hpp"

#include <memory>

namespace records {
namespace {

class format_parser {
 public:
  explicit format_parser(std::string_view text) : text_(text) {}

  format_parse_result parse() {
    if (peek() != '(') return fail("a format begins with \"(\"");
    ++pos_;
    while (true) {
      if (pos_ == text_.size()) return fail("missing \")\"");
      const char c = peek();
      if (c == ')') {
        if (state_ == state::after_comma) return fail("\")\" after a comma");
        ++pos_;
        if (pos_ != text_.size()) return fail("text after the closing \")\"");
        return std::move(result_);
      }
      if (c == '/') {
        push({item_kind::slash, 0, 0, {}});
        ++pos_;
        state_ = state::after_slash;
        continue;
      }
      if (c == ',') {
        if (state_ != state::after_item && state_ != state::after_slash) {
          return fail("a comma needs an item before it");
        }
        ++pos_;
        state_ = state::after_comma;
        continue;
      }
      if (state_ == state::after_item) return fail("items need a comma between them");
      if (!parse_item()) return std::move(result_);
      state_ = state::after_item;
    }
  }

 private:
  enum class state { start, after_item, after_comma, after_slash };

  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  static bool is_digit(char c) { return c >= '0' && c <= '9'; }

  format_parse_result fail(std::string reason) {
    result_.error = std::move(reason);
    result_.error_offset = pos_;
    return std::move(result_);
  }
  bool failed(std::string reason) {
    result_.error = std::move(reason);
    result_.error_offset = pos_;
    return false;
  }

  void push(format_item item) {
    if (item.is_field()) result_.format.has_field = true;
    result_.format.items.push_back(std::move(item));
  }

  // A positive decimal number of at most `limit`; the loop stops before overflow.
  bool parse_number(std::int32_t limit, const char* what, std::int32_t& value) {
    if (!is_digit(peek())) return failed(std::string("expected ") + what);
    value = 0;
    while (is_digit(peek())) {
      value = value * 10 + (peek() - '0');
      if (value > limit) return failed(std::string(what) + " above " + std::to_string(limit));
      ++pos_;
    }
    if (value == 0) return failed(std::string(what) + " of zero");
    return true;
  }

  bool parse_item() {
    if (peek() == '\'') return parse_literal();
    std::int32_t count = 1;
    if (is_digit(peek())) {
      if (!parse_number(max_skip, "a count", count)) return false;
      if (peek() == 'X') {
        ++pos_;
        push({item_kind::skip, count, 0, {}});
        return true;
      }
      if (count > max_repeat_count) {
        return failed("a repeat count above " + std::to_string(max_repeat_count));
      }
    }
    format_item field;
    if (!parse_field(field)) return false;
    for (std::int32_t i = 0; i < count; ++i)
      push(field);
    return true;
  }

  bool parse_field(format_item& field) {
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
        return failed("expected an item");
    }
    ++pos_;
    if (!parse_number(max_field_width, "a field width", field.width)) return false;
    if (field.kind != item_kind::real) return true;
    if (peek() != '.') return failed("an F field needs \".d\"");
    ++pos_;
    if (!is_digit(peek())) return failed("expected the number of decimals");
    field.decimals = 0;
    while (is_digit(peek())) {
      field.decimals = field.decimals * 10 + (peek() - '0');
      if (field.decimals > field.width) return failed("more decimals than the field is wide");
      ++pos_;
    }
    return true;
  }

  bool parse_literal() {
    const std::size_t close = text_.find('\'', pos_ + 1);
    if (close == std::string_view::npos) return failed("a literal without its closing apostrophe");
    push({item_kind::literal, 0, 0, std::string(text_.substr(pos_ + 1, close - pos_ - 1))});
    pos_ = close + 1;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  state state_ = state::start;
  format_parse_result result_;
};

struct cache_entry {
  std::string text;
  format_parse_result parse;
};

}  // namespace

format_parse_result parse_format(std::string_view text) {
  return format_parser(text).parse();
}

const format_parse_result& cached_format(std::string_view text) {
  // A run uses a handful of format texts, and consecutive statements often share
  // one, so a short list searched from the last hit beats hashing the text.
  static std::vector<std::unique_ptr<cache_entry>> entries;
  static std::size_t last_hit = 0;
  if (last_hit < entries.size() && entries[last_hit]->text == text) {
    return entries[last_hit]->parse;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i]->text == text) {
      last_hit = i;
      return entries[i]->parse;
    }
  }
  entries.push_back(
      std::make_unique<cache_entry>(cache_entry{std::string(text), parse_format(text)}));
  last_hit = entries.size() - 1;
  return entries.back()->parse;
}

}  // namespace records
