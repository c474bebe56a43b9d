#include "extract/vector_reader.hpp"

#include <algorithm>
#include <span>
#include <string_view>

#include "extract/statements.hpp"
#include "extract/vector_writer.hpp"

namespace extract {
namespace {

using namespace vector_file_formats;

constexpr std::string_view not_found_text = "Eigenvectors are not found";
constexpr std::size_t values_per_record = 12;

// The not-found record, or the count of rows; the first record is read twice,
// as text and then as the count.
bool read_row_count(records::unit_table& units, std::int32_t& row_count) {
  std::array<char, not_found_text.size()> first{};
  records::read<"(A26)">(units, vector_statement(line::row_count), first);
  if (std::string_view(first.data(), first.size()) == not_found_text) return false;
  units.st_backspace(vector_unit);
  records::read<row_count_format>(units, vector_statement(line::row_count), row_count);
  if (row_count < 0 || row_count > block_a_row_limit) {
    records::fatal_error error;
    error.what_happened = records::condition::bad_integer;
    error.record = 1;
    error.first_column = 1;
    error.last_column = 5;
    error.field_text = std::string_view(first.data(), 5);
    error.detail = "a count of rows outside 0 to 200";
    units.fail(vector_statement(line::row_count), error);
  }
  return true;
}

// A section's coefficients: twelve to a record, one empty record for none.
void read_coefficients(records::unit_table& units, std::int32_t statement_line,
                       std::int32_t row_count, std::span<float> values) {
  std::array<float, values_per_record> record{};
  std::size_t taken = 0;
  do {
    records::read<coefficient_format>(units, vector_statement(statement_line),
                                      std::span<float, values_per_record>(record));
    const std::size_t count =
        std::min(values_per_record, static_cast<std::size_t>(row_count) - taken);
    std::copy_n(record.begin(), count, values.begin() + static_cast<std::ptrdiff_t>(taken));
    taken += count;
  } while (taken < static_cast<std::size_t>(row_count));
}

}  // namespace

bool read_vector_file(records::unit_table& units, vector_file_values& file) {
  if (!read_row_count(units, file.row_count)) return false;
  for (std::size_t k = 0; k < vector_file_values::vectors; ++k) {
    // Block B's first section is marked; its header and coefficients have
    // lines of their own.
    const std::int32_t header_line = k < 4    ? line::block_a_header
                                     : k == 4 ? line::marked_header
                                              : line::block_b_header;
    const std::int32_t coefficients_line = k < 4    ? line::block_a_coefficients
                                           : k == 4 ? line::marked_coefficients
                                                    : line::block_b_coefficients;
    records::read<header_format>(units, vector_statement(header_line), file.root_number[k],
                                 file.eigenvalue[k]);
    read_coefficients(units, coefficients_line, file.row_count, file.coefficients[k]);
  }
  return true;
}

}  // namespace extract
