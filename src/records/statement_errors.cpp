#include "records/statement_errors.hpp"

#include <cstring>

#include "records/unit_table.hpp"

namespace records {

fatal_error statement_error(const statement_params& params, condition what_happened) {
  fatal_error error;
  error.what_happened = what_happened;
  error.source = params.source;
  error.statement_line = params.statement_line;
  error.unit = params.unit;
  if (const unit_entry* unit = connected_units().find(params.unit))
    error.file_name = unit->file_name.view();
  return error;
}

void raise(fatal_error error) {
  // The error being raised is the one reported; a close failing now adds nothing
  // a user could act on, and every ended record has already reached the file.
  (void)connected_units().close_all();
  throw error;
}

std::string_view system_reason(int error_number) {
  return std::strerror(error_number);
}

}  // namespace records
