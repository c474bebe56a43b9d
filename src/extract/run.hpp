#pragma once

#include "extract/coefficient_table.hpp"
#include "records/unit_table.hpp"

namespace extract {

enum class outcome { converted, not_found };

// The memory of a run: its units' buffers and its coefficient table, never
// initialised, touched only where the run fills them. The program keeps one in
// static storage; every library call takes one of its own.
struct run_memory {
  records::unit_memory units;
  coefficient_table table;  // NOLINT(cppcoreguidelines-pro-type-member-init)
};

// The whole conversion, "hdat.out" in, "fort.50" out, in the directory that
// `units` names its files from. Returns after a normal end, every unit
// closed; a failure unwinds as records::fatal_error, every unit likewise
// closed.
outcome run_extraction(records::unit_table& units, coefficient_table& table);

// The same in the working directory, in memory of its own.
outcome run_extraction();

}  // namespace extract
