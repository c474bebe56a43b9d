#pragma once

#include "extract/coefficient_table.hpp"
#include "records/statement.hpp"

namespace extract {

// The single record that says the listing had no marker.
void write_not_found(records::unit_table& units);

// The record holding N, then the sections of block A's four columns.
void write_block_a(records::unit_table& units, const coefficient_table& table);

// The sections of block B's six columns; the first header is marked "  1".
void write_block_b(records::unit_table& units, const coefficient_table& table);

}  // namespace extract
