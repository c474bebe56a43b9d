#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "records/format_matching.hpp"
#include "records/output_editing.hpp"
#include "records/statement_errors.hpp"

namespace records {
namespace {

// The next `width` columns of the record at the current column; a skip leaves
// blanks behind it once something is placed after it.
[[gnu::always_inline]] inline std::span<char> next_columns(unit_entry& unit, std::size_t width) {
  record_buffer& record = unit.output_record;
  const auto placed = static_cast<std::int64_t>(record.size());
  if (unit.column - 1 > placed) {
    record.append_blanks(static_cast<std::size_t>(unit.column - 1 - placed));
  }
  std::span<char> columns(record.extend(width), width);
  unit.column = static_cast<std::int64_t>(record.size()) + 1;
  return columns;
}

[[noreturn]] void raise_write_failure(const statement_params& params, int error_number) {
  fatal_error error = statement_error(params, condition::cannot_write);
  error.detail = system_reason(error_number);
  raise(std::move(error));
}

// A statement whose records did not all reach the file takes back the part that
// did, so the file never ends in a partial record.
[[noreturn]] void raise_partial_write(const statement_params& params, unit_entry& unit,
                                      int error_number) {
  if (unit.regular_file) (void)::ftruncate(unit.fd, unit.complete_bytes);
  raise_write_failure(params, error_number);
}

void hand_to_file(const statement_params& params, unit_entry& unit) {
  if (!unit.can_write) raise_write_failure(params, unit.read_write_errno);
  std::string_view pending = unit.output_block;
  while (!pending.empty()) {
    const ssize_t count = ::write(unit.fd, pending.data(), pending.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      raise_partial_write(params, unit, errno);
    }
    pending.remove_prefix(static_cast<std::size_t>(count));
  }
  unit.complete_bytes += static_cast<off_t>(unit.output_block.size());
  unit.output_block.clear();
}

// After the first write statement the file holds exactly the records written.
void cut_old_contents(const statement_params& params, unit_entry& unit) {
  if (unit.regular_file && ::ftruncate(unit.fd, unit.complete_bytes) != 0) {
    raise_write_failure(params, errno);
  }
}

}  // namespace

void place_output_text(unit_entry& unit, std::string_view text) {
  const std::span<char> columns = next_columns(unit, text.size());
  std::copy(text.begin(), text.end(), columns.begin());
}

void end_output_record(unit_entry& unit) {
  unit.output_block += unit.output_record.text();
  unit.output_block += '\n';
  unit.output_record.clear();
  unit.column = 1;
}

void st_write(const statement_params& params) {
  active_statement& statement = begin_statement(params, true);
  statement.unit->output_record.clear();
  statement.unit->column = 1;
}

void transfer_integer_write(const statement_params& params, std::int32_t item) {
  const format_item& field = next_field(params, item_kind::integer);
  unit_entry& unit = active_unit();
  write_integer_field(item, next_columns(unit, static_cast<std::size_t>(field.width)));
}

void transfer_real_write(const statement_params& params, float item) {
  const format_item& field = next_field(params, item_kind::real);
  unit_entry& unit = active_unit();
  write_real_field(item, field.decimals, next_columns(unit, static_cast<std::size_t>(field.width)));
}

void st_write_done(const statement_params& params) {
  finish_format(params);
  unit_entry& unit = active_unit();
  end_output_record(unit);
  // Each statement's records reach the file when it ends, so a refused write is
  // reported by the statement that made it and nothing waits in memory for a close.
  hand_to_file(params, unit);
  if (!unit.written) {
    unit.written = true;
    cut_old_contents(params, unit);
  }
}

}  // namespace records
