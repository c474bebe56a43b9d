#include "records/format.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace records {
namespace {

// An item as a test states it: a literal by its text rather than its place.
struct item {
  item_kind kind = item_kind::skip;
  std::int32_t width = 0;
  std::int32_t decimals = 0;
  std::string text;
  friend bool operator==(const item&, const item&) = default;
  friend std::ostream& operator<<(std::ostream& out, const item& i) {
    return out << static_cast<int>(i.kind) << '/' << i.width << '.' << i.decimals << " '" << i.text
               << "'";
  }
};

item skip(std::int32_t n) {
  return {item_kind::skip, n, 0, {}};
}
item slash() {
  return {item_kind::slash, 0, 0, {}};
}
item literal(std::string text) {
  const auto width = static_cast<std::int32_t>(text.size());
  return {item_kind::literal, width, 0, std::move(text)};
}
item a(std::int32_t w) {
  return {item_kind::character, w, 0, {}};
}
item i(std::int32_t w) {
  return {item_kind::integer, w, 0, {}};
}
item f(std::int32_t w, std::int32_t d) {
  return {item_kind::real, w, d, {}};
}

std::vector<item> repeated(std::int32_t count, const item& one) {
  return std::vector<item>(static_cast<std::size_t>(count), one);
}

std::vector<item> concat(std::initializer_list<std::vector<item>> parts) {
  std::vector<item> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The items of a format as a test states them.
template <typename Items>
std::vector<item> items_of(const Items& items, std::string_view text) {
  std::vector<item> stated;
  for (const format_item& one : items) {
    const auto literal = text.substr(one.text_at, static_cast<std::size_t>(one.width));
    stated.push_back({one.kind, one.width, one.decimals,
                      one.kind == item_kind::literal ? std::string(literal) : ""});
  }
  return stated;
}

// The parser the program's formats go through while compiling, run on a text
// given while running.
struct parsed {
  std::vector<format_item> items;
  format_problem problem;
  std::vector<item> stated(std::string_view text) const { return items_of(items, text); }
  bool ok() const { return problem.fault == format_fault::none; }
};
parsed parse(std::string_view text) {
  struct sink {
    std::vector<format_item>& items;
    void push(const format_item& one) { items.push_back(one); }
  };
  parsed result;
  sink to{result.items};
  result.problem = parse_format_items(text, to);
  return result;
}

struct parse_case {
  int line;
  std::string_view text;
  std::vector<item> items;
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
    const auto result = parse(c.text);
    ASSERT_TRUE(result.ok()) << static_cast<int>(result.problem.fault);
    EXPECT_EQ(result.stated(c.text), c.items);
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
    const auto result = parse(c.text);
    ASSERT_TRUE(result.ok()) << static_cast<int>(result.problem.fault);
    EXPECT_EQ(result.stated(c.text), c.items);
  }
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
    const auto result = parse(c.text);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.problem.offset, c.offset) << static_cast<int>(result.problem.fault);
  }
}

// The program's formats are parsed while compiling by the same parser: both
// give the same items.
TEST(FormatParsing, CompiledFormatsAreTheFormatsParsedAtRunTime) {
  const auto same = [](const auto& compiled, std::string_view text) {
    SCOPED_TRACE(text);
    const auto result = parse(text);
    ASSERT_TRUE(result.ok() && compiled.ok());
    EXPECT_EQ(items_of(compiled.items, text), result.stated(text));
  };
  same(format<"(16X,2A4)">, "(16X,2A4)");
  same(format<"(/,3X,2A4,2X,I4,4X,I4)">, "(/,3X,2A4,2X,I4,4X,I4)");
  same(format<"(2A4,I3,32X,4F8.5)">, "(2A4,I3,32X,4F8.5)");
  same(format<"(//,'    E (',I3,' ) = ',F10.5,'  1')">, "(//,'    E (',I3,' ) = ',F10.5,'  1')");
  same(format<"(12F10.5)">, "(12F10.5)");
  same(format<"('Eigenvectors are not found')">, "('Eigenvectors are not found')");
  same(format<"()">, "()");
}

}  // namespace
}  // namespace records
