#include "extract/p_shells.hpp"

#include "extract/compare_string.hpp"

namespace extract {
namespace {

// Row `from` of the coefficients as read becomes row `to` of the output.
void copy_columns(coefficient_table& table, std::int32_t from, std::int32_t to,
                  std::size_t columns) {
  for (std::size_t j = 0; j < columns; ++j)
    table.out(to, j) = table.row(from).coef[j];
}

template <std::size_t fixed_columns>
void reorder(coefficient_table& table, std::size_t m) {
  // The run's two column counts are constants here, so each copy is unrolled.
  if constexpr (fixed_columns != 0) m = fixed_columns;
  std::int32_t k = 1;
  while (k <= table.row_count) {
    if (compare_string(as_text(table.row(k).orbital_label), p_shell_label) == 0) {
      // A shell starting in row N-1 or N takes rows past N from the table as it
      // stands: zeros, or block A's terminating row in row N+1.
      copy_columns(table, k + 1, k, m);
      copy_columns(table, k + 2, k + 1, m);
      copy_columns(table, k, k + 2, m);
      k += 3;
    } else {
      copy_columns(table, k, k, m);
      k += 1;
    }
  }
}

}  // namespace

void reorder_p_shells(coefficient_table& table, std::int32_t columns) {
  if (columns == 4) {
    reorder<4>(table, 4);
  } else if (columns == 6) {
    reorder<6>(table, 6);
  } else {
    reorder<0>(table, static_cast<std::size_t>(columns));
  }
}

}  // namespace extract
