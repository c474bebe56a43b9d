#include "records/detail/input_editing.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "support/editing.hpp"
#include "support/field_shapes.hpp"

namespace records::detail {
namespace {

using namespace std::string_view_literals;
using testing_support::read_integer;
using testing_support::read_real;

struct integer_case {
  int line;
  std::string_view field;
  std::int32_t value;
  field_failure failure;
};

TEST(IntegerFieldInput, IgnoresBlanksAndKeepsTheSign) {
  const integer_case cases[] = {
      {__LINE__, "  -12 3 ", -123, field_failure::none},
      {__LINE__, "        ", 0, field_failure::none},
      {__LINE__, "       7", 7, field_failure::none},
      {__LINE__, "7       ", 7, field_failure::none},
      {__LINE__, "+5", 5, field_failure::none},
      {__LINE__, " + 5", 5, field_failure::none},
      {__LINE__, "-0", 0, field_failure::none},
      {__LINE__, "00000000000000000012", 12, field_failure::none},  // leading zeros are no digits
      {__LINE__, "-0000000000000000002147483648", std::numeric_limits<std::int32_t>::min(),
       field_failure::none},
      {__LINE__, "2147483647", 2147483647, field_failure::none},
      {__LINE__, "-2147483648", std::numeric_limits<std::int32_t>::min(), field_failure::none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": \"" << c.field << '"');
    const auto result = read_integer(c.field);
    EXPECT_EQ(result.failure, c.failure);
    EXPECT_EQ(result.value, c.value);
  }
}

TEST(IntegerFieldInput, RejectsAnythingButOneSignedRunOfDigits) {
  const integer_case cases[] = {
      {__LINE__, "     1.0", 0, field_failure::malformed},
      {__LINE__, "1-2", 0, field_failure::malformed},
      {__LINE__, "--1", 0, field_failure::malformed},
      {__LINE__, "+-1", 0, field_failure::malformed},
      {__LINE__, "0x1F", 0, field_failure::malformed},
      {__LINE__, "1e3", 0, field_failure::malformed},
      {__LINE__, "\t12", 0, field_failure::malformed},
      {__LINE__, "1\0"sv, 0, field_failure::malformed},
      {__LINE__, "ROOT", 0, field_failure::malformed},
      {__LINE__, "-", 0, field_failure::sign_only},
      {__LINE__, "   +   ", 0, field_failure::sign_only},
      {__LINE__, "2147483648", 0, field_failure::out_of_range},
      {__LINE__, "-2147483649", 0, field_failure::out_of_range},
      {__LINE__, "99999999999999999999", 0, field_failure::out_of_range},
      // 2^64 + 1: twenty digits that would wrap around to 1.
      {__LINE__, "18446744073709551617", 0, field_failure::out_of_range},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": \"" << c.field << '"');
    EXPECT_EQ(read_integer(c.field).failure, c.failure);
  }
}

struct real_case {
  int line;
  std::string_view field;
  std::int32_t decimals;
  float value;
};

void expect_same_bits(float actual, float expected) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(actual), std::bit_cast<std::uint32_t>(expected))
      << actual << " vs " << expected;
}

TEST(RealFieldInput, ReadsEveryMantissaAndExponentSpelling) {
  const real_case cases[] = {
      {__LINE__, "  1.5E-1", 3, 0.15f},
      {__LINE__, "-0.50000", 5, -0.5f},
      {__LINE__, "   12345", 5, 0.12345f},  // the last d digits are the fraction
      {__LINE__, "     125", 3, 0.125f},
      {__LINE__, "   -5000", 5, -0.05f},
      {__LINE__, "       5", 5, 0.00005f},
      {__LINE__, "    123.", 5, 123.0f},  // a point overrides d
      {__LINE__, "     .25", 5, 0.25f},
      {__LINE__, "1 . 2 5 ", 5, 1.25f},  // blanks anywhere
      {__LINE__, "0.50 923", 5, 0.50923f},
      {__LINE__, "+0.24018", 5, 0.24018f},
      {__LINE__, "  1.5e-1", 5, 0.15f},
      {__LINE__, "  1.5D-1", 5, 0.15f},
      {__LINE__, "  1.5d-1", 5, 0.15f},
      {__LINE__, "   1.5-1", 5, 0.15f},  // a bare sign starts the exponent
      {__LINE__, "   1.5+1", 5, 15.0f},
      {__LINE__, "  1.5E+1", 5, 15.0f},
      {__LINE__, "   1.5E1", 5, 15.0f},
      {__LINE__, "-9.854-2", 5, -0.09854f},
      {__LINE__, "12345E+1", 5, 1.2345f},  // implied fraction, then the exponent
      {__LINE__, " 12345-2", 3, 0.12345f},
      {__LINE__, "        ", 5, 0.0f},
      {__LINE__, "   0E999", 0, 0.0f},
      {__LINE__, "1E999999", 0, std::numeric_limits<float>::infinity()},
      {__LINE__, "-1d-9999", 0, -0.0f},
      {__LINE__, " - 1 . 5", 5, -1.5f},
      {__LINE__, " 1 2 E 1", 5, 0.0012f},
      {__LINE__, "1.5 E- 1", 3, 0.15f},
      {__LINE__, "   .5e+1", 3, 5.0f},
      {__LINE__, "       1", 0, 1.0f},
      {__LINE__, "      1.", 5, 1.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "line " << c.line << ": \"" << c.field << "\", d=" << c.decimals);
    const auto result = read_real(c.field, c.decimals);
    ASSERT_EQ(result.failure, field_failure::none);
    expect_same_bits(result.value, c.value);
  }
}

TEST(RealFieldInput, KeepsTheSignOfZero) {
  EXPECT_TRUE(std::signbit(read_real("-0.00000", 5).value));
  EXPECT_TRUE(std::signbit(read_real("      -0", 5).value));
  EXPECT_FALSE(std::signbit(read_real("        ", 5).value));
  EXPECT_FALSE(std::signbit(read_real("+0.0", 5).value));
}

TEST(RealFieldInput, RoundsOnceToNearestEvenAtHalfway) {
  // 16777217 lies halfway between two binary32 values: ties go to the even one.
  const real_case cases[] = {
      {__LINE__, "16777216.999999", 0, 16777216.0f},
      {__LINE__, "16777217", 0, 16777216.0f},
      {__LINE__, "16777217.000001", 0, 16777218.0f},
      {__LINE__, "16777219", 0, 16777220.0f},
      // Just above the midpoint of 1 and its successor; going through a double
      // first would round it to the midpoint and then to 1.
      {__LINE__, "1.0000000596046448", 0, std::bit_cast<float>(0x3F800001u)},
      {__LINE__, "1.0000000596046447", 0, 1.0f},
      // Nineteen significant digits are taken exactly, more through their text:
      // 2^64 + 1 would wrap around to 1, and its first nineteen digits are a
      // tenth of it.
      {__LINE__, "9999999999999999999", 0, 9999999999999999999.0f},
      {__LINE__, "18446744073709551617", 0, 18446744073709551617.0f},
      {__LINE__, "100000000000000000001", 0, 100000000000000000001.0f},
      {__LINE__, "000000000000000000000000001", 0, 1.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": \"" << c.field << '"');
    expect_same_bits(read_real(c.field, c.decimals).value, c.value);
  }
}

TEST(RealFieldInput, OutOfRangeValuesBecomeInfinityOrZeroWithTheirSign) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  const real_case cases[] = {
      {__LINE__, "3.4028235E38", 0, std::numeric_limits<float>::max()},
      {__LINE__, "3.4028236E38", 0, inf},  // rounds past the largest finite value
      {__LINE__, "1E39", 0, inf},
      {__LINE__, "-1E39", 0, -inf},
      {__LINE__, "1.0E+99", 5, inf},
      {__LINE__, "1E999999999999", 0, inf},                       // the exponent's digits saturate
      {__LINE__, "1E-40", 0, std::bit_cast<float>(0x000116C2u)},  // subnormal
      {__LINE__, "1.4E-45", 0, std::bit_cast<float>(0x00000001u)},
      {__LINE__, "7.1E-46", 0, std::bit_cast<float>(0x00000001u)},
      {__LINE__, "7.0E-46", 0, 0.0f},
      {__LINE__, "1.0E-99", 5, 0.0f},
      {__LINE__, "-1.0E-99", 5, -0.0f},
      {__LINE__, "1E-999999999999", 0, 0.0f},
      {__LINE__, "       1-45", 5, 0.0f},  // 1e-50 after the implied fraction
      {__LINE__, "0000000000000000000000000000000000000000001E38", 0, 1e38f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": \"" << c.field << '"');
    const auto result = read_real(c.field, c.decimals);
    ASSERT_EQ(result.failure, field_failure::none);
    expect_same_bits(result.value, c.value);
  }
}

TEST(RealFieldInput, RejectsWhatIsNoDecimalReal) {
  struct bad_case {
    int line;
    std::string_view field;
    field_failure failure;
  };
  const bad_case cases[] = {
      {__LINE__, "12.3x456", field_failure::malformed},
      {__LINE__, ".", field_failure::malformed},
      {__LINE__, "-.", field_failure::malformed},
      {__LINE__, "E5", field_failure::malformed},
      {__LINE__, "1.5E", field_failure::malformed},
      {__LINE__, "1.5E+", field_failure::malformed},
      {__LINE__, "1.5-", field_failure::malformed},
      {__LINE__, "1.5.3", field_failure::malformed},
      {__LINE__, "1.5E1.0", field_failure::malformed},
      {__LINE__, "1.5E1E1", field_failure::malformed},
      {__LINE__, "1.5Q1", field_failure::malformed},
      {__LINE__, "--1.5", field_failure::malformed},
      {__LINE__, "1,5", field_failure::malformed},
      {__LINE__, "inf", field_failure::malformed},
      {__LINE__, "-Infinity", field_failure::malformed},
      {__LINE__, "nan", field_failure::malformed},
      {__LINE__, "0x1p3", field_failure::malformed},
      {__LINE__, "\t1.5", field_failure::malformed},
      {__LINE__, "1.5\0"sv, field_failure::malformed},
      {__LINE__,
       "\xB1"
       "1.5",
       field_failure::malformed},
      {__LINE__, "-", field_failure::sign_only},
      {__LINE__, "  +     ", field_failure::sign_only},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    EXPECT_EQ(read_real(c.field, 5).failure, c.failure);
  }
}

// A row of real fields side by side is classified at once: the fields in the
// shape their format writes are converted there, the others one by one. Either
// way the row reads as its fields one by one, up to the first that is no number.
template <std::int32_t Decimals, std::size_t Count>
void expect_row_as_its_fields(const std::string& row) {
  std::array<float, Count> at_once{};
  const row_result result =
      testing_support::real_row<8, Decimals, Count>(row.data(), at_once.data());
  std::size_t first_bad = Count;
  for (std::size_t k = 0; k < Count; ++k) {
    const auto one =
        testing_support::real_field<8, Decimals>(std::string_view(row).substr(8 * k, 8));
    SCOPED_TRACE(testing::Message() << '"' << row << "\" field " << k);
    if (one.failure != field_failure::none && first_bad == Count) {
      first_bad = k;
      EXPECT_EQ(result.failure, one.failure);
    }
    if (k < first_bad) expect_same_bits(at_once[k], one.value);
  }
  EXPECT_EQ(result.converted, first_bad) << row;
}

TEST(RealFieldInput, RowsTakenAtOnceAgreeWithTheirFieldsOneByOne) {
  std::mt19937 random(2026);
  const std::string odd_bytes = " 0123456789.-+Ex";
  const auto field = [&](std::int32_t decimals) {
    // The written shape: blanks, a sign or blank, a digit, the point, digits.
    std::string text(8, ' ');
    text[static_cast<std::size_t>(5 - decimals)] = " -+"[random() % 3];
    for (std::size_t k = static_cast<std::size_t>(6 - decimals); k < 8; ++k)
      text[k] = static_cast<char>('0' + random() % 10);
    text[static_cast<std::size_t>(7 - decimals)] = '.';
    // One in eight fields with a byte of any other kind.
    if (random() % 8 == 0) text[random() % 8] = odd_bytes[random() % odd_bytes.size()];
    return text;
  };
  for (int n = 0; n < 2000; ++n) {
    std::string row;
    for (int k = 0; k < 10; ++k)
      row += field(5);
    // Up to four pairs of fields are told apart at once: ten take two turns.
    expect_row_as_its_fields<5, 10>(row);
    expect_row_as_its_fields<5, 8>(row.substr(0, 64));
    expect_row_as_its_fields<5, 6>(row.substr(0, 48));
    expect_row_as_its_fields<5, 4>(row.substr(0, 32));
    expect_row_as_its_fields<5, 2>(row.substr(0, 16));
    const auto decimals = static_cast<std::int32_t>(1 + n % 4);
    row.clear();
    for (int k = 0; k < 4; ++k)
      row += field(decimals);
    switch (decimals) {
      case 1:
        expect_row_as_its_fields<1, 4>(row);
        break;
      case 2:
        expect_row_as_its_fields<2, 4>(row);
        break;
      case 3:
        expect_row_as_its_fields<3, 4>(row);
        break;
      default:
        expect_row_as_its_fields<4, 4>(row);
        break;
    }
  }
}

TEST(NumericFieldInput, TheWidestFieldConverts) {
  const std::string digits(255, '1');
  // 255 digits exceed binary32's range.
  EXPECT_EQ((testing_support::real_field<255, 0>(digits).value),
            std::numeric_limits<float>::infinity());
  EXPECT_EQ(testing_support::integer_field<255>(digits).failure, field_failure::out_of_range);
  const std::string one = std::string(254, ' ') + "1";
  // A point overrides even 255 implied decimals.
  EXPECT_EQ((testing_support::real_field<255, 255>(one.substr(1) + ".").value), 1.0f);
  EXPECT_EQ(testing_support::integer_field<255>(one).value, 1);
}

TEST(CharacterFieldInput, FitsTheFieldToTheItem) {
  std::array<char, 4> item{};
  read_character_field("EIGE", item);
  EXPECT_EQ(std::string_view(item.data(), 4), "EIGE");
  read_character_field("ab", item);
  EXPECT_EQ(std::string_view(item.data(), 4), "ab  ");
  read_character_field("abcdef", item);
  EXPECT_EQ(std::string_view(item.data(), 4), "cdef");
  read_character_field("\0\n\r\xFF"sv, item);
  EXPECT_EQ(std::string_view(item.data(), 4), "\0\n\r\xFF"sv);
}

}  // namespace
}  // namespace records::detail

namespace records::detail {
namespace {

TEST(FieldSweep, EveryCorpusDecimalThroughAnF8Point0FieldGivesItsExactBits) {
  std::ifstream corpus(EIGPICK_TEST_DATA_DIR "/decimal-float32.txt");
  ASSERT_TRUE(corpus) << "missing " EIGPICK_TEST_DATA_DIR "/decimal-float32.txt";
  int count = 0;
  int mismatches = 0;
  for (std::string line; std::getline(corpus, line); ++count) {
    std::istringstream fields(line);
    std::string hex;
    std::string decimal;
    fields >> hex >> decimal;
    ASSERT_LE(decimal.size(), 8u) << line;
    const auto expected = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    const std::string field = std::string(8 - decimal.size(), ' ') + decimal;
    const auto bits = std::bit_cast<std::uint32_t>(testing_support::real_field<8, 0>(field).value);
    if (bits != expected && ++mismatches <= 10) {
      ADD_FAILURE() << decimal << ": got " << std::hex << bits << ", want " << expected;
    }
  }
  EXPECT_GT(count, 11000);
  EXPECT_EQ(mismatches, 0);
}

// Every seventh 8-column field over a small alphabet of digits, blanks, signs,
// points and exponent letters: the one scanner, with its one division, and a
// row of two such fields classified at once must read exactly as the exact
// fallback does.
TEST(FieldSweep, TheScannerAndRowsAgreeWithTheExactFallback) {
  const char alphabet[] = {' ', '0', '1', '9', '.', '-', '+', 'E', 'd'};
  constexpr std::size_t letters = sizeof alphabet;
  std::string field(8, ' ');
  int mismatches = 0;
  const auto report = [&mismatches](const std::string& text, std::int32_t decimals) {
    if (++mismatches <= 10) ADD_FAILURE() << '"' << text << "\" d=" << decimals;
  };
  std::size_t total = 1;
  for (int i = 0; i < 8; ++i)
    total *= letters;
  const auto same = [](field_result<float> a, field_result<float> b) {
    return a.failure == b.failure &&
           std::bit_cast<std::uint32_t>(a.value) == std::bit_cast<std::uint32_t>(b.value);
  };
  for (std::size_t code = 0; code < total; code += 7) {  // every seventh of 43 million
    std::size_t rest = code;
    for (auto& c : field) {
      c = alphabet[rest % letters];
      rest /= letters;
    }
    const auto check = [&](std::string_view text, std::int32_t decimals, field_result<float> value,
                           row_result row, float row_value) {
      const field_result<float> exact = read_real_exactly(text, decimals);
      const bool row_agrees = exact.failure == field_failure::none
                                  ? row.converted == 2 && same({row_value}, exact)
                                  : row.converted == 0 && row.failure == exact.failure;
      if (!same(value, exact) || !row_agrees) report(std::string(text), decimals);
    };
    const auto check_row = [&]<std::int32_t Decimals>() {
      std::array<float, 2> row_values{};
      const row_result row =
          testing_support::real_row<8, Decimals, 2>((field + field).data(), row_values.data());
      check(field, Decimals, testing_support::real_field<8, Decimals>(field), row, row_values[1]);
    };
    check_row.template operator()<0>();
    check_row.template operator()<3>();
    check_row.template operator()<5>();
    // Narrower fields load their word in two parts.
    const std::string_view last_five = std::string_view(field).substr(3);
    std::array<float, 2> five{};
    const std::string two_fives = std::string(last_five) + std::string(last_five);
    const row_result five_row = testing_support::real_row<5, 3, 2>(two_fives.data(), five.data());
    check(last_five, 3, testing_support::real_field<5, 3>(last_five), five_row, five[1]);
    const auto integer = testing_support::integer_field<8>(field);
    const auto exact_integer = read_integer_exactly(field);
    if (integer.failure != exact_integer.failure || integer.value != exact_integer.value) {
      report(field, 0);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace records::detail
