#include <algorithm>

#include "records/detail/errors.hpp"
#include "records/statement.hpp"

namespace records {
namespace detail {

fatal_error input_record::error_of(condition what_happened) const {
  return statement_error(params_.source, params_.statement_line, params_.unit, &unit_,
                         what_happened);
}

void input_record::raise_no_record(record_reader::status status) {
  if (status == record_reader::status::end_of_file) {
    fatal_error error = error_of(condition::end_of_file);
    error.record = unit_.reader.record_number();
    if (error.record == 0 && unit_.created) {
      error.detail = "the file did not exist: opening it created it empty";
    }
    raise(error);
  }
  fatal_error error = error_of(condition::cannot_read);
  error.detail = system_reason(unit_.reader.error_number());
  raise(error);
}

// A field that runs past the end of the record, completed with blanks: records
// read as if padded with blanks to any length.
std::string_view input_record::padded_field(std::string_view record, std::size_t start,
                                            std::size_t width) {
  char* const field = unit_.padded_field.data();
  const std::size_t present = std::min(width, record.size() - start);
  std::copy_n(record.data() + start, present, field);
  std::fill(field + present, field + width, ' ');
  return {field, width};
}

void input_record::raise_bad_field(condition what_happened, std::string_view field,
                                   std::int64_t first_column, field_failure failure) {
  fatal_error error = error_of(what_happened);
  error.record = unit_.reader.record_number();
  error.first_column = first_column;
  error.last_column = first_column + static_cast<std::int64_t>(field.size()) - 1;
  error.field_text = field;
  error.detail = failure_detail(failure);
  raise(error);
}

}  // namespace detail

void read_statement::mismatch(item_kind wanted, const format_item* met) {
  fatal_error error = error_of(condition::item_mismatch);
  error.detail = detail::mismatch_detail(wanted, met);
  raise(error);
}

void read_statement::transfer_character(std::span<char> item) {
  const format_item& field = cursor_.next_field(*this, item_kind::character);
  detail::read_character_field(take_field(field.width), item);
}

void read_statement::transfer_integer(std::int32_t& item) {
  const format_item& field = cursor_.next_field(*this, item_kind::integer);
  const std::int64_t first_column = column_;
  const std::string_view text = take_field(field.width);
  const auto result = detail::integer_value(detail::scan_number(text, 0, true), text);
  if (result.failure != detail::field_failure::none) [[unlikely]] {
    raise_bad_field(condition::bad_integer, text, first_column, result.failure);
  }
  item = result.value;
}

void read_statement::transfer_real(float& item) {
  const format_item& field = cursor_.next_field(*this, item_kind::real);
  const std::int64_t first_column = column_;
  const std::string_view text = take_field(field.width);
  const auto result = detail::real_value(detail::scan_number(text, field.decimals, false), text);
  if (result.failure != detail::field_failure::none) [[unlikely]] {
    raise_bad_field(condition::bad_real, text, first_column, result.failure);
  }
  item = result.value;
}

}  // namespace records
