#include "extract/p_shells.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "extract/compare_string.hpp"

namespace extract {
namespace {

using namespace std::string_literals;

constexpr float untouched = -99.0f;

// Rows whose coefficient in column j is row + j/10;
// every out_coef cell starts as `untouched`.
coefficient_table table_with_labels(const std::vector<std::string>& labels) {
  coefficient_table table{};
  table.row_count = static_cast<std::int32_t>(labels.size());
  for (std::int32_t k = 1; k <= table_rows; ++k) {
    auto& row = table.row(k);
    for (std::size_t j = 0; j < table_columns; ++j) {
      row.coef[j] = static_cast<float>(k) + static_cast<float>(j + 1) / 10.0f;
      table.out(k, j) = untouched;
    }
    if (k <= table.row_count) {
      const auto& text = labels[static_cast<std::size_t>(k - 1)];
      std::copy(text.begin(), text.end(), row.orbital_label.begin());
    }
  }
  return table;
}

// Row k of the coefficients in output order.
std::array<float, table_columns> output_row(const coefficient_table& table, std::int32_t k) {
  std::array<float, table_columns> row{};
  for (std::size_t j = 0; j < table_columns; ++j)
    row[j] = table.out(k, j);
  return row;
}

// The source row of each output row, read back from column 1 (row + 0.1).
std::vector<int> output_order(const coefficient_table& table, std::int32_t rows) {
  std::vector<int> order;
  for (std::int32_t k = 1; k <= rows; ++k)
    order.push_back(static_cast<int>(table.out(k, 0)));
  return order;
}

struct order_case {
  int line;
  std::vector<std::string> labels;
  std::vector<int> order;
};

TEST(PShellReordering, RotatesEachTripleStartingAtAPxLabel) {
  const order_case cases[] = {
      {__LINE__, {"  S ", "  Px", "  Py", "  Pz", "  S "}, {1, 3, 4, 2, 5}},
      {__LINE__, {"  Px", "  Py", "  Pz", "  Px", "  Py", "  Pz"}, {2, 3, 1, 5, 6, 4}},
      // The rows after a Px row are its Py and Pz whatever they say.
      {__LINE__, {"  Px", "  Px", "  Px", "  S "}, {2, 3, 1, 4}},
      {__LINE__, {"  Px", "  Px", "  Px", "  Px", "  D0", "  D0"}, {2, 3, 1, 5, 6, 4}},
      {__LINE__, {"  S ", "  Py", "  Pz", "  S "}, {1, 2, 3, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    auto table = table_with_labels(c.labels);
    reorder_p_shells(table, 6);
    EXPECT_EQ(output_order(table, table.row_count), c.order);
  }
}

TEST(PShellReordering, OnlyTheExactLabelStartsAShell) {
  const std::string labels[] = {"  PX", "  px", " Px ", "Px  ", " Px\0"s, "\tPx ", "  Py"};
  for (const auto& label : labels) {
    SCOPED_TRACE("label \"" + label + "\"");
    auto table = table_with_labels({label, "  Py", "  Pz"});
    reorder_p_shells(table, 6);
    EXPECT_EQ(output_order(table, 3), (std::vector<int>{1, 2, 3}));
  }
}

TEST(PShellReordering, CopiesColumnsUpToTheCountAndNoFurther) {
  auto table = table_with_labels({"  S ", "  Px", "  Py", "  Pz"});
  reorder_p_shells(table, 4);
  EXPECT_EQ(output_row(table, 2),
            (std::array<float, 6>{3.1f, 3.2f, 3.3f, 3.4f, untouched, untouched}));
  EXPECT_EQ(output_row(table, 4),
            (std::array<float, 6>{2.1f, 2.2f, 2.3f, 2.4f, untouched, untouched}));
  EXPECT_EQ(table.row(1).coef[0], 1.1f);                   // the source is left alone
  EXPECT_EQ(as_text(table.row(2).orbital_label), "  Px");  // labels do not move
}

TEST(PShellReordering, AShellInTheLastTwoRowsTakesRowsPastN) {
  auto table = table_with_labels({"  S ", "  S ", "  Px", "  Py"});
  reorder_p_shells(table, 6);
  EXPECT_EQ(output_order(table, 6), (std::vector<int>{1, 2, 4, 5, 3, -99}));

  table = table_with_labels({"  S ", "  S ", "  Px"});
  reorder_p_shells(table, 6);
  EXPECT_EQ(output_order(table, 6), (std::vector<int>{1, 2, 4, 5, 3, -99}));
}

TEST(PShellReordering, NoRowsCopyNothing) {
  auto table = table_with_labels({});
  reorder_p_shells(table, 6);
  EXPECT_EQ(table.out(1, 0), untouched);
}

TEST(PShellReordering, TheLastRowOfAFullBlockCanStartAShell) {
  std::vector<std::string> labels(200, "  S ");
  labels[199] = "  Px";
  auto table = table_with_labels(labels);
  reorder_p_shells(table, 4);
  EXPECT_EQ(table.out(200, 0), 201.1f);
  EXPECT_EQ(table.out(202, 0), 200.1f);
}

TEST(CompareString, ComparesUnsignedBytesWithTheShorterTextBlankPadded) {
  struct compare_case {
    int line;
    std::string_view first;
    std::string_view second;
    int sign;
  };
  const compare_case cases[] = {
      {__LINE__, "EIGE", "EIGE", 0},
      {__LINE__, "  Px", "  PX", 1},
      {__LINE__, "  PX", "  Px", -1},
      {__LINE__, "  Px", "  px", -1},
      {__LINE__, "Px  ", "  Px", 1},
      {__LINE__, "ab", "ab  ", 0},
      {__LINE__, "ab  ", "ab", 0},
      {__LINE__, "ab", "ab\x01", 1},    // the padding blank sorts after \x01
      {__LINE__, "a\xFF", "a\x01", 1},  // unsigned: 0xFF is the largest byte
      {__LINE__, "", "", 0},
      {__LINE__, "", "    ", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    const int result = compare_string(c.first, c.second);
    EXPECT_EQ((result > 0) - (result < 0), c.sign);
  }
}

}  // namespace
}  // namespace extract
