#include "extract/vector_writer.hpp"

#include "extract/statements.hpp"

namespace extract {
namespace {

constexpr std::string_view header_format = "(//,'    E (',I3,' ) = ',F10.5)";
constexpr std::string_view marked_header_format = "(//,'    E (',I3,' ) = ',F10.5,'  1')";
constexpr std::string_view coefficient_format = "(12F10.5)";

// Two empty records, then the column's root number and eigenvalue.
void write_header(std::int32_t line, std::string_view format, const coefficient_table& table,
                  std::size_t column) {
  const auto statement = vector_statement(line, format);
  records::st_write(statement);
  records::transfer_integer_write(statement, table.root_number[column]);
  records::transfer_real_write(statement, table.eigenvalue[column]);
  records::st_write_done(statement);
}

// The column's N coefficients, twelve to a record; one empty record when N is 0.
void write_coefficients(std::int32_t line, const coefficient_table& table, std::size_t column) {
  const auto statement = vector_statement(line, coefficient_format);
  records::st_write(statement);
  for (std::int32_t k = 1; k <= table.row_count; ++k) {
    records::transfer_real_write(statement, table.row(k).out_coef[column]);
  }
  records::st_write_done(statement);
}

}  // namespace

void write_not_found() {
  const auto statement = vector_statement(15, "('Eigenvectors are not found')");
  records::st_write(statement);
  records::st_write_done(statement);
}

void write_block_a(const coefficient_table& table) {
  const auto count = vector_statement(50, "(I5)");
  records::st_write(count);
  records::transfer_integer_write(count, table.row_count);
  records::st_write_done(count);
  for (std::size_t column = 0; column < 4; ++column) {
    write_header(52, header_format, table, column);
    write_coefficients(53, table, column);
  }
}

void write_block_b(const coefficient_table& table) {
  write_header(101, marked_header_format, table, 0);
  write_coefficients(102, table, 0);
  for (std::size_t column = 1; column < 6; ++column) {
    write_header(104, header_format, table, column);
    write_coefficients(105, table, column);
  }
}

}  // namespace extract
