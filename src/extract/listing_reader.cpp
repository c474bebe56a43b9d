#include "extract/listing_reader.hpp"

#include <span>

#include "extract/statements.hpp"

namespace extract {
namespace {

using records::format_text;

constexpr format_text search_format = "(16X,2A4)";
constexpr format_text block_a_title_format = "(/,3X,2A4,2X,I4,4X,I4)";
constexpr format_text block_a_roots_format = "(9X,32X,4I8)";
constexpr format_text symmetry_format = "(//,2A4)";
constexpr format_text block_a_eigenvalues_format = "(11X,32X,4F8.3)";
constexpr format_text block_a_row_format = "(2A4,I3,32X,4F8.5)";
constexpr format_text block_b_roots_format = "(/,11X,I6,5I8)";
constexpr format_text block_b_eigenvalues_format = "(11X,6F8.3)";
constexpr format_text block_b_row_format = "(2A4,I3,6F8.5)";

// The search and the header skips read two words into scratch; only the search
// looks at them.
template <format_text Format>
label read_two_words(records::unit_table& units, std::int32_t statement_line) {
  label first;
  label second;
  records::read<Format>(units, listing_statement(statement_line), first, second);
  return first;
}

template <format_text Format, std::size_t columns>
void read_row(records::unit_table& units, std::int32_t statement_line, table_row& row) {
  records::read<Format>(units, listing_statement(statement_line), row.orbital_label,
                        row.second_label, row.index_field,
                        std::span<float, columns>(row.coef.data(), columns));
}

// Rows past N that a p shell starting in row N-1 or N takes its coefficients
// from: zeros where no row was read, so that the run never depends on what the
// memory held before.
void clear_rows_past_block(coefficient_table& table, bool terminated) {
  const std::int32_t n = table.row_count;
  if (terminated) {
    // The terminating row keeps its four coefficients as read.
    table.row(n + 1).coef[4] = 0.0f;
    table.row(n + 1).coef[5] = 0.0f;
  } else {
    table.row(n + 1).coef = {};
  }
  table.row(n + 2).coef = {};
}

}  // namespace

bool find_marker(records::unit_table& units) {
  for (std::int32_t count = 1; count <= marker_search_limit; ++count) {
    const label word = read_two_words<search_format>(units, line::marker_search);
    if (records::compare_string(as_text(word), marker) == 0) return true;
  }
  return false;
}

void read_block_a(records::unit_table& units, coefficient_table& table) {
  const auto roots = std::span(table.root_number).first<4>();
  const auto eigenvalues = std::span(table.eigenvalue).first<4>();
  read_two_words<block_a_title_format>(units, line::block_a_title);
  records::read<block_a_roots_format>(units, listing_statement(line::block_a_roots), roots);
  read_two_words<symmetry_format>(units, line::block_a_symmetry);
  records::read<block_a_eigenvalues_format>(units, listing_statement(line::block_a_eigenvalues),
                                            eigenvalues);
  read_two_words<search_format>(units, line::block_a_heading);
  for (std::int32_t k = 1;; ++k) {
    read_row<block_a_row_format, 4>(units, line::block_a_row, table.row(k));
    // A blank index field reads as zero, so a blank record ends the block too.
    if (table.row(k).index_field == 0) {
      table.row_count = k - 1;
      clear_rows_past_block(table, true);
      return;
    }
    if (k == block_a_row_limit) {
      table.row_count = k;
      clear_rows_past_block(table, false);
      return;
    }
  }
}

void read_block_b(records::unit_table& units, coefficient_table& table) {
  records::read<block_b_roots_format>(units, listing_statement(line::block_b_roots),
                                      std::span(table.root_number));
  read_two_words<symmetry_format>(units, line::block_b_symmetry);
  records::read<block_b_eigenvalues_format>(units, listing_statement(line::block_b_eigenvalues),
                                            std::span(table.eigenvalue));
  read_two_words<search_format>(units, line::block_b_heading);
  // Block B tests nothing: it takes block A's N rows whatever they hold.
  for (std::int32_t k = 1; k <= table.row_count; ++k)
    read_row<block_b_row_format, 6>(units, line::block_b_row, table.row(k));
}

}  // namespace extract
