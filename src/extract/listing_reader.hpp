#pragma once

#include <cstdint>
#include <string_view>

#include "extract/coefficient_table.hpp"
#include "records/statement.hpp"

namespace extract {

inline constexpr std::string_view marker = "EIGE";
inline constexpr std::int32_t marker_column = 17;  // where the marker starts in its record
inline constexpr std::int32_t marker_search_limit = 500;
inline constexpr std::int32_t block_a_row_limit = 200;

// Reads records until columns 17-20 of one read "EIGE"; false after 500 records
// without it. The marker record is consumed.
bool find_marker(records::unit_table& units);

// Block A: root numbers and eigenvalues 1-4, rows until a zero index field or 200
// rows, and N. A terminating row stays in row N+1 as read; rows N+1 and N+2 hold
// zeros wherever block A set nothing, for a p shell that reaches past row N.
void read_block_a(records::unit_table& units, coefficient_table& table);

// Block B: root numbers and eigenvalues 1-6, and exactly N rows of 6 coefficients.
void read_block_b(records::unit_table& units, coefficient_table& table);

}  // namespace extract
