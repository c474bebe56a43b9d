#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  std::int32_t width = 0;     // w of a field; n of a skip
  std::int32_t decimals = 0;  // d of an F field
  std::string text;           // a literal's characters

  bool is_field() const {
    return kind == item_kind::character || kind == item_kind::integer || kind == item_kind::real;
  }
  friend bool operator==(const format_item&, const format_item&) = default;
};

// Limits on the numbers a format may hold; they keep every digit loop and every
// record the format builds small, whatever text reaches the parser.
inline constexpr std::int32_t max_field_width = 255;
inline constexpr std::int32_t max_repeat_count = 255;
inline constexpr std::int32_t max_skip = 4096;

struct parsed_format {
  std::vector<format_item> items;
  bool has_field = false;  // without a field, reversion could never place an item
};

// The parse of one format text, or where and why it is not a format.
struct format_parse_result {
  parsed_format format;
  std::string error;  // empty when the text parsed
  std::size_t error_offset = 0;
  bool ok() const { return error.empty(); }
};

// Parses "(" items ")": items separated by commas, except that a slash needs no
// comma on either side.
format_parse_result parse_format(std::string_view text);

// parse_format of the text, done once per distinct text for the life of the process.
const format_parse_result& cached_format(std::string_view text);

}  // namespace records
