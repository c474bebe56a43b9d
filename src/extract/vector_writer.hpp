#pragma once

#include "extract/coefficient_table.hpp"
#include "records/statement.hpp"

namespace extract {

// The records of the vector file.
namespace vector_file_formats {
inline constexpr records::format_text not_found_format = "('Eigenvectors are not found')";
inline constexpr records::format_text row_count_format = "(I5)";
inline constexpr records::format_text header_format = "(//,'    E (',I3,' ) = ',F10.5)";
inline constexpr records::format_text marked_header_format =
    "(//,'    E (',I3,' ) = ',F10.5,'  1')";
inline constexpr records::format_text coefficient_format = "(12F10.5)";
}  // namespace vector_file_formats

// The single record that says the listing had no marker.
void write_not_found(records::unit_table& units);

// The record holding N, then the sections of block A's four columns.
void write_block_a(records::unit_table& units, const coefficient_table& table);

// The sections of block B's six columns; the first header is marked "  1".
void write_block_b(records::unit_table& units, const coefficient_table& table);

}  // namespace extract
