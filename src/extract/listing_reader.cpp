#include "extract/listing_reader.hpp"

#include "extract/statements.hpp"

namespace extract {
namespace {

using records::st_read;
using records::st_read_done;

// The search and the header skips read two words into scratch; only the search
// looks at them.
label read_two_words(std::int32_t line, std::string_view format) {
  const auto statement = listing_statement(line, format);
  label first{};
  label second{};
  st_read(statement);
  records::transfer_character(statement, first);
  records::transfer_character(statement, second);
  st_read_done(statement);
  return first;
}

void transfer(const records::statement_params& statement, std::int32_t& item) {
  records::transfer_integer(statement, item);
}
void transfer(const records::statement_params& statement, float& item) {
  records::transfer_real(statement, item);
}

// One header record of root numbers or eigenvalues into the first `count` columns.
template <std::size_t count, typename T>
void read_header_values(std::int32_t line, std::string_view format,
                        std::array<T, table_columns>& values) {
  const auto statement = listing_statement(line, format);
  st_read(statement);
  for (std::size_t j = 0; j < count; ++j)
    transfer(statement, values[j]);
  st_read_done(statement);
}

template <std::size_t columns>
void read_row(const records::statement_params& statement, table_row& row) {
  st_read(statement);
  records::transfer_character(statement, row.orbital_label);
  records::transfer_character(statement, row.second_label);
  records::transfer_integer(statement, row.index_field);
  for (std::size_t j = 0; j < columns; ++j)
    records::transfer_real(statement, row.coef[j]);
  st_read_done(statement);
}

}  // namespace

bool find_marker() {
  for (std::int32_t count = 1; count <= marker_search_limit; ++count) {
    const label word = read_two_words(12, "(16X,2A4)");
    if (records::compare_string(as_text(word), marker) == 0) return true;
  }
  return false;
}

void read_block_a(coefficient_table& table) {
  read_two_words(17, "(/,3X,2A4,2X,I4,4X,I4)");
  read_header_values<4>(18, "(9X,32X,4I8)", table.root_number);
  read_two_words(20, "(//,2A4)");
  read_header_values<4>(21, "(11X,32X,4F8.3)", table.eigenvalue);
  read_two_words(23, "(16X,2A4)");
  const auto row_statement = listing_statement(25, "(2A4,I3,32X,4F8.5)");
  for (std::int32_t k = 1;; ++k) {
    read_row<4>(row_statement, table.row(k));
    // A blank index field reads as zero, so a blank record ends the block too.
    if (table.row(k).index_field == 0) {
      table.row_count = k - 1;
      return;
    }
    if (k == block_a_row_limit) {
      table.row_count = k;
      return;
    }
  }
}

void read_block_b(coefficient_table& table) {
  read_header_values<6>(58, "(/,11X,I6,5I8)", table.root_number);
  read_two_words(60, "(//,2A4)");
  read_header_values<6>(61, "(11X,6F8.3)", table.eigenvalue);
  read_two_words(63, "(16X,2A4)");
  // Block B tests nothing: it takes block A's N rows whatever they hold.
  const auto row_statement = listing_statement(74, "(2A4,I3,6F8.5)");
  for (std::int32_t k = 1; k <= table.row_count; ++k)
    read_row<6>(row_statement, table.row(k));
}

}  // namespace extract
