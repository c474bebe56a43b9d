#include <algorithm>
#include <array>

#include "records/format_matching.hpp"
#include "records/input_editing.hpp"
#include "records/statement_errors.hpp"

namespace records {
namespace {

// A field's bytes and where they stood; valid until the next field is taken.
struct taken_field {
  std::string_view text;
  std::int64_t first_column = 0;
};

// Fields that run past the end of the record are completed with blanks here.
std::array<char, max_field_width> padded_field;

// A field that runs past the end of the record, completed with blanks.
[[gnu::noinline]] std::string_view padded(std::string_view record, std::uint64_t start,
                                          std::size_t width) {
  std::fill_n(padded_field.begin(), width, ' ');
  if (start < record.size()) {
    const auto from = static_cast<std::ptrdiff_t>(start);
    std::copy(record.begin() + from, record.end(), padded_field.begin());
  }
  return {padded_field.data(), width};
}

// Every item passes through here, so the common case, a field inside the
// record, is kept to a few instructions.
[[gnu::always_inline]] inline taken_field take_field(unit_entry& unit, std::int32_t width) {
  const std::string_view record = unit.reader.record();
  const std::int64_t first = unit.column;
  unit.column += width;
  const auto start = static_cast<std::uint64_t>(first - 1);
  const auto w = static_cast<std::size_t>(width);
  if (start + w <= record.size()) return {record.substr(static_cast<std::size_t>(start), w), first};
  return {padded(record, start, w), first};
}

[[noreturn]] void raise_bad_field(const statement_params& params, const unit_entry& unit,
                                  condition what_happened, const taken_field& field,
                                  field_failure failure) {
  fatal_error error = statement_error(params, what_happened);
  error.record = unit.reader.record_number();
  error.first_column = field.first_column;
  error.last_column = field.first_column + static_cast<std::int64_t>(field.text.size()) - 1;
  error.field_text = field.text;
  error.detail = failure_detail(failure);
  raise(std::move(error));
}

}  // namespace

void begin_next_input_record(const statement_params& params, unit_entry& unit) {
  if (!unit.can_read) {
    fatal_error error = statement_error(params, condition::cannot_read);
    error.detail = system_reason(unit.read_write_errno);
    raise(std::move(error));
  }
  switch (unit.reader.next_record()) {
    case record_reader::status::record:
      unit.column = 1;
      return;
    case record_reader::status::end_of_file: {
      fatal_error error = statement_error(params, condition::end_of_file);
      error.record = unit.reader.record_number();
      raise(std::move(error));
    }
    case record_reader::status::read_error: {
      fatal_error error = statement_error(params, condition::cannot_read);
      error.detail = system_reason(unit.reader.error_number());
      raise(std::move(error));
    }
  }
}

void st_read(const statement_params& params) {
  active_statement& statement = begin_statement(params, false);
  begin_next_input_record(params, *statement.unit);
}

void transfer_character(const statement_params& params, std::span<char> item) {
  const format_item& field = next_field(params, item_kind::character);
  read_character_field(take_field(active_unit(), field.width).text, item);
}

void transfer_integer(const statement_params& params, std::int32_t& item) {
  const format_item& field = next_field(params, item_kind::integer);
  unit_entry& unit = active_unit();
  const taken_field taken = take_field(unit, field.width);
  const auto result = read_integer_field(taken.text);
  if (result.failure != field_failure::none) {
    raise_bad_field(params, unit, condition::bad_integer, taken, result.failure);
  }
  item = result.value;
}

void transfer_real(const statement_params& params, float& item) {
  const format_item& field = next_field(params, item_kind::real);
  unit_entry& unit = active_unit();
  const taken_field taken = take_field(unit, field.width);
  const auto result = read_real_field(taken.text, field.decimals);
  if (result.failure != field_failure::none) {
    raise_bad_field(params, unit, condition::bad_real, taken, result.failure);
  }
  item = result.value;
}

void st_read_done(const statement_params& params) {
  finish_format(params);
}

}  // namespace records
