#include "extract/p_shells.hpp"

#include "records/statement.hpp"

namespace extract {
namespace {

void copy_columns(const table_row& from, table_row& to, std::size_t columns) {
  for (std::size_t j = 0; j < columns; ++j)
    to.out_coef[j] = from.coef[j];
}

}  // namespace

void reorder_p_shells(coefficient_table& table, std::int32_t columns) {
  const auto m = static_cast<std::size_t>(columns);
  std::int32_t k = 1;
  while (k <= table.row_count) {
    if (records::compare_string(as_text(table.row(k).orbital_label), p_shell_label) == 0) {
      // A shell starting in row N-1 or N takes rows past N from the table as it
      // stands: zeros, or block A's terminating row in row N+1.
      copy_columns(table.row(k + 1), table.row(k), m);
      copy_columns(table.row(k + 2), table.row(k + 1), m);
      copy_columns(table.row(k), table.row(k + 2), m);
      k += 3;
    } else {
      copy_columns(table.row(k), table.row(k), m);
      k += 1;
    }
  }
}

}  // namespace extract
