#pragma once

#include <cstdint>
#include <string_view>

#include "records/statement.hpp"

namespace extract {

inline constexpr std::int32_t listing_unit = 4;  // "hdat.out", only read
inline constexpr std::int32_t vector_unit = 7;   // "fort.50", only written
inline constexpr std::string_view listing_file = "hdat.out";
inline constexpr std::string_view vector_file = "fort.50";
inline constexpr std::string_view source_name = "eigpick";

// The statement lines of the run: a report names the statement that failed by
// its line, and the lines are what users and scripts know them by.
namespace line {
inline constexpr std::int32_t open_listing = 8;
inline constexpr std::int32_t open_vector_file = 9;
inline constexpr std::int32_t marker_search = 12;
inline constexpr std::int32_t not_found = 15;
inline constexpr std::int32_t block_a_title = 17;
inline constexpr std::int32_t block_a_roots = 18;
inline constexpr std::int32_t block_a_symmetry = 20;
inline constexpr std::int32_t block_a_eigenvalues = 21;
inline constexpr std::int32_t block_a_heading = 23;
inline constexpr std::int32_t block_a_row = 25;
inline constexpr std::int32_t row_count = 50;
inline constexpr std::int32_t block_a_header = 52;
inline constexpr std::int32_t block_a_coefficients = 53;
inline constexpr std::int32_t block_b_roots = 58;
inline constexpr std::int32_t block_b_symmetry = 60;
inline constexpr std::int32_t block_b_eigenvalues = 61;
inline constexpr std::int32_t block_b_heading = 63;
inline constexpr std::int32_t block_b_row = 74;
inline constexpr std::int32_t marked_header = 101;
inline constexpr std::int32_t marked_coefficients = 102;
inline constexpr std::int32_t block_b_header = 104;
inline constexpr std::int32_t block_b_coefficients = 105;
}  // namespace line

constexpr records::statement_params listing_statement(std::int32_t statement_line) {
  return {listing_unit, source_name, statement_line};
}

constexpr records::statement_params vector_statement(std::int32_t statement_line) {
  return {vector_unit, source_name, statement_line};
}

}  // namespace extract
