#pragma once

#include "extract/coefficient_table.hpp"

namespace extract {

// The single record that says the listing had no marker.
void write_not_found();

// The record holding N, then the sections of block A's four columns.
void write_block_a(const coefficient_table& table);

// The sections of block B's six columns; the first header is marked "  1".
void write_block_b(const coefficient_table& table);

}  // namespace extract
