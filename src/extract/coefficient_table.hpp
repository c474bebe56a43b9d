#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace extract {

// Room for 300 rows although block A stops at 200: a p shell starting in row N-1
// or N reaches two rows past N.
inline constexpr std::int32_t table_rows = 300;
inline constexpr std::int32_t table_columns = 6;

using label = std::array<char, 4>;

inline std::string_view as_text(const label& value) {
  return {value.data(), value.size()};
}

// One orbital row of a block as read. Coefficient columns are indexed from 0
// here; the listing and the vector file number them from 1.
struct table_row {
  label orbital_label;
  label second_label;  // stored, never consulted
  std::int32_t index_field;
  std::array<float, table_columns> coef;
};

// One block of the listing; filled for block A, then refilled for block B. The
// run leaves it uninitialised and sets every cell before reading it, so it
// touches only the rows of the listing; `coefficient_table table{}` holds zeros.
// The small fields come first and the rows last, so that a block of N rows
// touches the fewest pages.
struct coefficient_table {
  std::int32_t row_count;  // N of block A; block B reads the same N
  std::array<std::int32_t, table_columns> root_number;
  std::array<float, table_columns> eigenvalue;
  // The coefficients in output order, a column at a time, as the vector file
  // holds them. Before the rows: N rows of each column, and then N + 2 rows of
  // the table, lie on the fewest pages this way round.
  std::array<std::array<float, table_rows>, table_columns> out_coef;
  // Whole rows as read, so that a block of N rows uses one stretch of memory.
  std::array<table_row, table_rows> rows;

  // Rows are numbered from 1, as in the listing.
  table_row& row(std::int32_t k) { return rows[static_cast<std::size_t>(k - 1)]; }
  const table_row& row(std::int32_t k) const { return rows[static_cast<std::size_t>(k - 1)]; }
  float& out(std::int32_t k, std::size_t column) {
    return out_coef[column][static_cast<std::size_t>(k - 1)];
  }
  float out(std::int32_t k, std::size_t column) const {
    return out_coef[column][static_cast<std::size_t>(k - 1)];
  }
  // Rows 1 to N of an output column.
  std::span<const float> out_column(std::size_t column) const {
    return std::span(out_coef[column]).first(static_cast<std::size_t>(row_count));
  }
};

}  // namespace extract
