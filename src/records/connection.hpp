#pragma once

#include "records/statement.hpp"
#include "records/unit_table.hpp"

namespace records {

// Opens a unit that was connected to a file other than a regular one, for the
// direction of the statement that first uses it.
void open_on_first_use(const statement_params& params, unit_entry& unit, bool writing);

}  // namespace records
