#include "records/detail/output_editing.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include "support/editing.hpp"

namespace records::detail {
namespace {

using testing_support::integer_text;
using testing_support::real_text;
using testing_support::real_text_by_text;

TEST(IntegerFieldOutput, RightJustifiesOrFillsWithAsterisks) {
  struct integer_case {
    int line;
    std::int32_t value;
    std::int32_t width;
    std::string_view text;
  };
  const integer_case cases[] = {
      {__LINE__, 42, 5, "   42"},
      {__LINE__, 0, 5, "    0"},
      {__LINE__, -5, 5, "   -5"},
      {__LINE__, 99999, 5, "99999"},
      {__LINE__, 100000, 5, "*****"},
      {__LINE__, -9999, 5, "-9999"},
      {__LINE__, -10000, 5, "*****"},
      {__LINE__, 999, 3, "999"},
      {__LINE__, 1000, 3, "***"},
      {__LINE__, -99, 3, "-99"},
      {__LINE__, -100, 3, "***"},
      {__LINE__, 7, 1, "7"},
      {__LINE__, -1, 1, "*"},
      {__LINE__, std::numeric_limits<std::int32_t>::min(), 11, "-2147483648"},
      {__LINE__, std::numeric_limits<std::int32_t>::min(), 10, "**********"},
      {__LINE__, std::numeric_limits<std::int32_t>::max(), 12, "  2147483647"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.value << " I" << c.width);
    EXPECT_EQ(integer_text(c.value, c.width), c.text);
  }
}

struct real_case {
  int line;
  float value;
  std::int32_t width;
  std::int32_t decimals;
  std::string_view text;
};

void check(const real_case& c) {
  SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.value << " F" << c.width << '.'
                                  << c.decimals);
  EXPECT_EQ(real_text(c.value, c.width, c.decimals), c.text);
  // The general route must give the same for the values the quick ones take.
  EXPECT_EQ(real_text_by_text(c.value, c.width, c.decimals), c.text);
}

TEST(RealFieldOutput, WritesTheVectorFileValues) {
  const real_case cases[] = {
      {__LINE__, 0.5f, 10, 5, "   0.50000"},
      {__LINE__, -0.5f, 10, 5, "  -0.50000"},
      {__LINE__, 12345.6f, 10, 5, "**********"},
      {__LINE__, 1.0f / 3.0f, 10, 5, "   0.33333"},
      {__LINE__, 0.0f, 10, 5, "   0.00000"},
      {__LINE__, -0.000001f, 10, 5, "  -0.00000"},  // rounds to zero, keeps its sign
      {__LINE__, -0.0f, 10, 5, "  -0.00000"},
      {__LINE__, 0.000004f, 10, 5, "   0.00000"},
      {__LINE__, -0.43210f, 10, 5, "  -0.43210"},
      {__LINE__, 1.0f, 10, 5, "   1.00000"},
      {__LINE__, 123.456f, 10, 5, " 123.45600"},
      // One integer digit is the commonest text, built as one word; two take
      // the text built digit by digit.
      {__LINE__, 9.99999f, 10, 5, "   9.99999"},
      {__LINE__, 9.999996f, 10, 5, "  10.00000"},  // rounds up into two digits
      {__LINE__, 10.0f, 10, 5, "  10.00000"},
      {__LINE__, -10.00001f, 10, 5, " -10.00001"},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(RealFieldOutput, F10Point5HoldsValuesFromMinus999ToJustBelow10000) {
  // Binary32 has no value between 9999.99902 and 10000, nor between -999.99994
  // and -1000: the decimal -999.99999 itself reads as -1000 and overflows.
  const real_case cases[] = {
      {__LINE__, std::nextafter(10000.0f, 0.0f), 10, 5, "9999.99902"},
      {__LINE__, 10000.0f, 10, 5, "**********"},
      {__LINE__, std::nextafter(-1000.0f, 0.0f), 10, 5, "-999.99994"},
      {__LINE__, -1000.0f, 10, 5, "**********"},
      {__LINE__, -999.99999f, 10, 5, "**********"},
      {__LINE__, 9999.99999f, 10, 5, "**********"},
      {__LINE__, -999.99f, 10, 5, "-999.98999"},
      {__LINE__, std::numeric_limits<float>::max(), 10, 5, "**********"},
      {__LINE__, std::numeric_limits<float>::max(), 46, 5,
       " 340282346638528859811704183484516925440.00000"},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(RealFieldOutput, DropsTheLeadingZeroOnlyWhenThatMakesItFit) {
  const real_case cases[] = {
      {__LINE__, 0.5f, 4, 2, "0.50"},
      {__LINE__, 0.5f, 3, 2, ".50"},
      {__LINE__, -0.5f, 5, 2, "-0.50"},
      {__LINE__, -0.5f, 4, 2, "-.50"},
      {__LINE__, -0.5f, 3, 2, "***"},
      {__LINE__, -0.0f, 4, 2, "-.00"},
      {__LINE__, 0.25f, 2, 1, ".2"},
      {__LINE__, 1.5f, 3, 2, "***"},  // the zero is optional only before the point
      {__LINE__, 0.3f, 2, 0, "0."},
      {__LINE__, 0.3f, 1, 0, "."},
      {__LINE__, 2.5f, 2, 0, "2."},
      {__LINE__, 3.5f, 2, 0, "4."},
      {__LINE__, -2.5f, 3, 0, "-2."},
      // No decimals through the general route too: too wide for the quick
      // one, or too large a value for 32 bits of digits.
      {__LINE__, 2.5f, 40, 0, std::string_view("                                      2.")},
      {__LINE__, -0.4f, 40, 0, std::string_view("                                     -0.")},
      {__LINE__, 1e10f, 12, 0, "10000000000."},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(RealFieldOutput, RoundsTheExactBinaryValueTiesToEven) {
  const real_case cases[] = {
      {__LINE__, 0.25f, 10, 1, "       0.2"},  // exact ties
      {__LINE__, 0.75f, 10, 1, "       0.8"},
      {__LINE__, 0.125f, 10, 2, "      0.12"},
      {__LINE__, 0.375f, 10, 2, "      0.38"},
      {__LINE__, 2.5f, 3, 0, " 2."},
      // Decimal text that looks like a tie is not one in binary: 1.005 is stored
      // as 1.00499999523 and 0.15 as 0.150000006.
      {__LINE__, 1.005f, 10, 2, "      1.00"},
      {__LINE__, 0.15f, 10, 1, "       0.2"},
      {__LINE__, 0.241805f, 10, 5, "   0.24181"},
      {__LINE__, 0.391055f, 10, 5, "   0.39105"},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(RealFieldOutput, InfinityAndNotANumberAreAsterisks) {
  const real_case cases[] = {
      {__LINE__, std::numeric_limits<float>::infinity(), 10, 5, "**********"},
      {__LINE__, -std::numeric_limits<float>::infinity(), 10, 5, "**********"},
      {__LINE__, std::numeric_limits<float>::quiet_NaN(), 10, 5, "**********"},
      {__LINE__, -std::numeric_limits<float>::quiet_NaN(), 3, 1, "***"},
  };
  for (const auto& c : cases)
    check(c);
}

// A row is edited four values at a time, each value in lanes beside its
// neighbours, the values the lanes refuse by the scalar route: every field must
// read as its value edited alone, whatever the others hold and wherever the
// row ends.
TEST(RealFieldOutput, RowsEditedAtOnceAreTheirValuesOneByOne) {
  std::mt19937 random(50);
  const float specials[] = {
      0.0f,   -0.0f,      0.5f,     -0.99999f, 9.999996f,
      -99.5f, 999.99994f, -1000.0f, 12345.6f,  std::numeric_limits<float>::infinity()};
  for (int n = 0; n < 3000; ++n) {
    std::array<float, 13> values{};
    for (float& value : values) {
      const auto pick = random() % 4;
      value = pick == 0 ? specials[random() % std::size(specials)]
                        : static_cast<float>(static_cast<std::int32_t>(random())) /
                              static_cast<float>(1u << (random() % 32));
    }
    const std::size_t count = 1 + static_cast<std::size_t>(n) % values.size();
    // One byte past the row shows an edit that spills beyond its last field.
    std::string row(10 * count + 1, '#');
    write_real_row<10, 5>(values.data(), count, row.data());
    EXPECT_EQ(row.back(), '#');
    for (std::size_t k = 0; k < count; ++k) {
      SCOPED_TRACE(testing::Message() << "value " << k << " of " << count << ": " << values[k]);
      EXPECT_EQ(row.substr(10 * k, 10), real_text_by_text(values[k], 10, 5));
    }
  }
}

// The field starts filled with '#', which no editing writes: a column left
// alone, such as a missing leading blank, shows.
TEST(RealFieldOutput, EveryColumnOfTheFieldIsWritten) {
  const float values[] = {0.0f,
                          -0.0f,
                          1e-30f,
                          -1e-30f,
                          0.5f,
                          -0.5f,
                          9.99999f,
                          -9.99999f,
                          99.5f,
                          1e10f,
                          -1e10f,
                          3.0e38f,
                          std::numeric_limits<float>::denorm_min()};
  for (const float value : values) {
    for (std::int32_t width = 1; width <= 12; ++width) {
      for (std::int32_t decimals = 0; decimals <= width; ++decimals) {
        SCOPED_TRACE(testing::Message() << value << " F" << width << '.' << decimals);
        EXPECT_EQ(real_text(value, width, decimals).find('#'), std::string::npos);
      }
    }
  }
  for (const std::int32_t value : {0, 7, -7, 123456, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max()}) {
    for (std::int32_t width = 1; width <= 12; ++width) {
      EXPECT_EQ(integer_text(value, width).find('#'), std::string::npos) << value << " I" << width;
    }
  }
}

}  // namespace
}  // namespace records::detail

namespace records::detail {
namespace {

// What printf's exact "%.*f" makes of the value under the field's rules.
std::string printf_field(float value, std::int32_t width, std::int32_t decimals) {
  if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(decimals),
                static_cast<double>(value));
  std::string text = buffer;
  if (decimals == 0) text += '.';
  const std::size_t sign = text[0] == '-' ? 1 : 0;
  if (text.size() > static_cast<std::size_t>(width) && text.compare(sign, 2, "0.") == 0) {
    text.erase(sign, 1);
  }
  if (text.size() > static_cast<std::size_t>(width))
    return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

TEST(FieldSweep, RealFieldOutputAgreesWithExactPrintfOverManyValues) {
  struct shape {
    std::int32_t width;
    std::int32_t decimals;
  };
  const shape shapes[] = {{10, 5}, {8, 3}, {6, 0}, {4, 2}, {20, 12}, {30, 15}, {12, 9}, {40, 5}};
  std::uint32_t state = 12345;
  int mismatches = 0;
  for (int n = 0; n < 200000 && mismatches < 10; ++n) {
    state = state * 1664525u + 1013904223u;
    // Bit patterns spread over every exponent, and decimals around the ties.
    const float value = n % 2 == 0 ? std::bit_cast<float>(state)
                                   : static_cast<float>(static_cast<std::int32_t>(state)) / 1e7f;
    for (const auto& s : shapes) {
      const std::string expected = printf_field(value, s.width, s.decimals);
      const std::string actual = real_text(value, s.width, s.decimals);
      const std::string by_text = real_text_by_text(value, s.width, s.decimals);
      if ((actual != expected || by_text != expected) && ++mismatches <= 10) {
        ADD_FAILURE() << std::hexfloat << value << " F" << s.width << '.' << s.decimals << ": \""
                      << actual << "\" and \"" << by_text << "\" vs \"" << expected << '"';
      }
    }
  }
}

}  // namespace
}  // namespace records::detail
