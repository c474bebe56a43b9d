#include "records/statement.hpp"

namespace records::engine {

void raise_no_record(unit_table& units, const statement_params& params,
                     const detail::input_channel& input, detail::record_reader::status status) {
  fatal_error error;
  if (status == detail::record_reader::status::end_of_file) {
    error.what_happened = condition::end_of_file;
    error.record = input.record_number();
    if (error.record == 0 && input.created()) {
      error.detail = "the file did not exist: opening it created it empty";
    }
  } else {
    error.what_happened = condition::cannot_read;
    error.detail = system_reason(input.error_number());
  }
  units.fail(params, error);
}

void raise_bad_field(unit_table& units, const statement_params& params,
                     const detail::input_channel& input, condition bad_field,
                     std::string_view field, std::int32_t first_column,
                     detail::field_failure failure) {
  fatal_error error;
  error.what_happened = bad_field;
  error.record = input.record_number();
  error.first_column = first_column;
  error.last_column = first_column + static_cast<std::int64_t>(field.size()) - 1;
  error.field_text = field;
  error.detail = detail::failure_detail(failure);
  units.fail(params, error);
}

}  // namespace records::engine
