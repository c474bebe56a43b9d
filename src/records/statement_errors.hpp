#pragma once

#include "records/fatal_error.hpp"
#include "records/statement.hpp"

namespace records {

// An error of the statement, naming its source, line, unit and, when the unit is
// connected, its file.
fatal_error statement_error(const statement_params& params, condition what_happened);

// The one way out of the record layer after a failure: closes every unit (all that
// was written stays in its file) and unwinds to the process entry.
[[noreturn]] void raise(fatal_error error);

// The system's words for an errno value.
std::string_view system_reason(int error_number);

}  // namespace records
