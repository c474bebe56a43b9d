#include "extract/vector_writer.hpp"

#include "extract/statements.hpp"

namespace extract {
namespace {

using records::format_text;
using namespace vector_file_formats;

// Two empty records, then the column's root number and eigenvalue.
template <format_text Format>
void write_header(records::unit_table& units, std::int32_t statement_line,
                  const coefficient_table& table, std::size_t column) {
  records::write<Format>(units, vector_statement(statement_line), table.root_number[column],
                         table.eigenvalue[column]);
}

// The column's N coefficients, twelve to a record; one empty record when N is 0.
void write_coefficients(records::unit_table& units, std::int32_t statement_line,
                        const coefficient_table& table, std::size_t column) {
  records::write<coefficient_format>(units, vector_statement(statement_line),
                                     table.out_column(column));
}

}  // namespace

void write_not_found(records::unit_table& units) {
  records::write<not_found_format>(units, vector_statement(line::not_found));
}

void write_block_a(records::unit_table& units, const coefficient_table& table) {
  records::write<row_count_format>(units, vector_statement(line::row_count), table.row_count);
  for (std::size_t column = 0; column < 4; ++column) {
    write_header<header_format>(units, line::block_a_header, table, column);
    write_coefficients(units, line::block_a_coefficients, table, column);
  }
}

void write_block_b(records::unit_table& units, const coefficient_table& table) {
  write_header<marked_header_format>(units, line::marked_header, table, 0);
  write_coefficients(units, line::marked_coefficients, table, 0);
  for (std::size_t column = 1; column < 6; ++column) {
    write_header<header_format>(units, line::block_b_header, table, column);
    write_coefficients(units, line::block_b_coefficients, table, column);
  }
}

}  // namespace extract
