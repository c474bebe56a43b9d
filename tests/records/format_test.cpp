#include "records/format.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace records {
namespace {

format_item skip(std::int32_t n) {
  return {item_kind::skip, n, 0, {}};
}
format_item slash() {
  return {item_kind::slash, 0, 0, {}};
}
format_item literal(std::string text) {
  return {item_kind::literal, 0, 0, std::move(text)};
}
format_item a(std::int32_t w) {
  return {item_kind::character, w, 0, {}};
}
format_item i(std::int32_t w) {
  return {item_kind::integer, w, 0, {}};
}
format_item f(std::int32_t w, std::int32_t d) {
  return {item_kind::real, w, d, {}};
}

std::vector<format_item> repeated(std::int32_t count, const format_item& item) {
  return std::vector<format_item>(static_cast<std::size_t>(count), item);
}

std::vector<format_item> concat(std::initializer_list<std::vector<format_item>> parts) {
  std::vector<format_item> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct parse_case {
  int line;
  std::string_view text;
  std::vector<format_item> items;
};

TEST(FormatParsing, EveryFormatOfTheRunParsesToItsItems) {
  const parse_case cases[] = {
      {__LINE__, "(16X,2A4)", {skip(16), a(4), a(4)}},
      {__LINE__,
       "(/,3X,2A4,2X,I4,4X,I4)",
       {slash(), skip(3), a(4), a(4), skip(2), i(4), skip(4), i(4)}},
      {__LINE__, "(9X,32X,4I8)", concat({{skip(9), skip(32)}, repeated(4, i(8))})},
      {__LINE__, "(//,2A4)", {slash(), slash(), a(4), a(4)}},
      {__LINE__, "(11X,32X,4F8.3)", concat({{skip(11), skip(32)}, repeated(4, f(8, 3))})},
      {__LINE__, "(2A4,I3,32X,4F8.5)",
       concat({{a(4), a(4), i(3), skip(32)}, repeated(4, f(8, 5))})},
      {__LINE__, "(/,11X,I6,5I8)", concat({{slash(), skip(11), i(6)}, repeated(5, i(8))})},
      {__LINE__, "(11X,6F8.3)", concat({{skip(11)}, repeated(6, f(8, 3))})},
      {__LINE__, "(2A4,I3,6F8.5)", concat({{a(4), a(4), i(3)}, repeated(6, f(8, 5))})},
      {__LINE__, "('Eigenvectors are not found')", {literal("Eigenvectors are not found")}},
      {__LINE__, "(I5)", {i(5)}},
      {__LINE__,
       "(//,'    E (',I3,' ) = ',F10.5)",
       {slash(), slash(), literal("    E ("), i(3), literal(" ) = "), f(10, 5)}},
      {__LINE__,
       "(//,'    E (',I3,' ) = ',F10.5,'  1')",
       {slash(), slash(), literal("    E ("), i(3), literal(" ) = "), f(10, 5), literal("  1")}},
      {__LINE__, "(12F10.5)", repeated(12, f(10, 5))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.text);
    const auto result = parse_format(c.text);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.format.items, c.items);
  }
}

TEST(FormatParsing, SlashesNeedNoCommasAndLiteralsKeepTheirBlanks) {
  const parse_case cases[] = {
      {__LINE__, "(I2/I3)", {i(2), slash(), i(3)}},
      {__LINE__, "(/I3/)", {slash(), i(3), slash()}},
      {__LINE__, "(///)", {slash(), slash(), slash()}},
      {__LINE__, "(A1,/,/,A2)", {a(1), slash(), slash(), a(2)}},
      {__LINE__, "(' , / ) ')", {literal(" , / ) ")}},
      {__LINE__, "('')", {literal("")}},
      {__LINE__, "()", {}},
      {__LINE__, "(F8.0,F3.3)", {f(8, 0), f(3, 3)}},
      {__LINE__, "(255A1)", repeated(255, a(1))},
      {__LINE__, "(4096X,A255)", {skip(4096), a(255)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.text);
    const auto result = parse_format(c.text);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.format.items, c.items);
  }
}

TEST(FormatParsing, HasFieldTellsWhetherReversionCanPlaceAnItem) {
  EXPECT_TRUE(parse_format("(12F10.5)").format.has_field);
  EXPECT_TRUE(parse_format("(/,A4)").format.has_field);
  EXPECT_FALSE(parse_format("('Eigenvectors are not found')").format.has_field);
  EXPECT_FALSE(parse_format("(//,3X)").format.has_field);
}

TEST(FormatParsing, RejectsTextThatIsNoFormat) {
  struct bad_case {
    int line;
    std::string_view text;
    std::size_t offset;
  };
  const bad_case cases[] = {
      {__LINE__, "", 0},                 // no "("
      {__LINE__, "I5", 0},               // no "("
      {__LINE__, "(I5", 3},              // no ")"
      {__LINE__, "(I5))", 4},            // text after ")"
      {__LINE__, "(I5,)", 4},            // ")" after a comma
      {__LINE__, "(,I5)", 1},            // comma first
      {__LINE__, "(I5,,I5)", 4},         // two commas
      {__LINE__, "(I5I5)", 3},           // no comma between items
      {__LINE__, "(I)", 2},              // no width
      {__LINE__, "(I0)", 3},             // zero width
      {__LINE__, "(A256)", 4},           // width above the limit
      {__LINE__, "(F8)", 3},             // no ".d"
      {__LINE__, "(F8.)", 4},            // no d
      {__LINE__, "(F3.4)", 4},           // more decimals than columns
      {__LINE__, "(0X)", 2},             // zero skip
      {__LINE__, "(X)", 1},              // skip without a count
      {__LINE__, "(4097X)", 4},          // skip above the limit
      {__LINE__, "(256A1)", 4},          // repeat above the limit
      {__LINE__, "(0I5)", 2},            // zero repeat
      {__LINE__, "(3/)", 2},             // a count on a slash
      {__LINE__, "(E10.3)", 1},          // an item kind the layer does not have
      {__LINE__, "(i5)", 1},             // lower case
      {__LINE__, "( I5)", 1},            // a blank outside a literal
      {__LINE__, "('abc)", 1},           // unterminated literal
      {__LINE__, "(99999999999I5)", 4},  // stops at the digit that passes the limit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.text);
    const auto result = parse_format(c.text);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error_offset, c.offset) << result.error;
  }
}

TEST(FormatCache, ParsesEachTextOnceAndTellsTextsApart) {
  const auto& first = cached_format("(7X,I7)");
  const auto& again = cached_format(std::string("(7X,I7)"));  // equal text, other storage
  const auto& other = cached_format("(7X,I6)");
  EXPECT_EQ(&first, &again);
  EXPECT_NE(&first, &other);
  EXPECT_EQ(other.format.items.back(), i(6));
  EXPECT_EQ(&cached_format("(7X,I7)"), &first);  // still there after another text
  EXPECT_FALSE(cached_format("(7X,").ok());
}

}  // namespace
}  // namespace records
