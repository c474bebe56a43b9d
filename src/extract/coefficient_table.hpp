#pragma once

#include <array>
#include <cstdint>
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

// One orbital row of a block. Coefficient columns are indexed from 0 here;
// the listing and the vector file number them from 1.
struct table_row {
  label orbital_label{};
  label second_label{};  // stored, never consulted
  std::int32_t index_field = 0;
  std::array<float, table_columns> coef{};      // as read
  std::array<float, table_columns> out_coef{};  // in output order
};

// One block of the listing; filled for block A, then refilled for block B.
// Value-initialised, every cell the run has not set holds zero.
struct coefficient_table {
  std::array<table_row, table_rows> rows{};
  std::array<std::int32_t, table_columns> root_number{};
  std::array<float, table_columns> eigenvalue{};
  std::int32_t row_count = 0;  // N of block A; block B reads the same N

  // Rows are numbered from 1, as in the listing.
  table_row& row(std::int32_t k) { return rows[static_cast<std::size_t>(k - 1)]; }
  const table_row& row(std::int32_t k) const { return rows[static_cast<std::size_t>(k - 1)]; }
};

}  // namespace extract
