#pragma once

#include <cstdint>
#include <string_view>

#include "extract/coefficient_table.hpp"

namespace extract {

// Two blanks, capital P, small x: the first row of a p shell.
inline constexpr std::string_view p_shell_label = "  Px";

// Copies coefficient columns 1..columns of rows 1..N from coef to out_coef,
// writing every Px, Py, Pz triple as Py, Pz, Px. Only the first row of a triple
// is looked at, and the scan resumes after the triple.
void reorder_p_shells(coefficient_table& table, std::int32_t columns);

}  // namespace extract
