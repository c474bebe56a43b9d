#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

#include "records/format_matching.hpp"
#include "records/output_editing.hpp"
#include "records/statement_errors.hpp"

namespace records {
namespace {

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

// Hands the gathered bytes to the file. A size limit or a reader that went away
// makes write(2) fail (the process ignores SIGXFSZ and SIGPIPE), and that is
// reported like a full disk.
void hand_to_file(const statement_params& params, unit_entry& unit) {
  if (!unit.can_write) raise_write_failure(params, unit.read_write_errno);
  std::span<const char> pending(unit.output.data(), unit.output_size);
  while (!pending.empty()) {
    const ssize_t count = ::write(unit.fd, pending.data(), pending.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      raise_partial_write(params, unit, errno);
    }
    pending = pending.subspan(static_cast<std::size_t>(count));
  }
  unit.output_size = 0;
}

// The next `count` bytes of output, count <= output_capacity; what was gathered
// goes to the file first when there is no room.
char* reserve(const statement_params& params, unit_entry& unit, std::size_t count) {
  if (count > output_capacity - unit.output_size) hand_to_file(params, unit);
  char* bytes = unit.output.data() + unit.output_size;
  unit.output_size += count;
  unit.statement_bytes += static_cast<off_t>(count);
  return bytes;
}

// `count` copies of `c`, or the bytes of `text`, in pieces that fit the buffer.
void place_repeated(const statement_params& params, unit_entry& unit, char c, std::size_t count) {
  while (count != 0) {
    const std::size_t piece = std::min(count, output_capacity);
    std::memset(reserve(params, unit, piece), c, piece);
    count -= piece;
  }
}

// The next `width` columns of the record at the current column; a skip leaves
// blanks behind it once something is placed after it.
[[gnu::always_inline]] inline std::span<char> next_columns(const statement_params& params,
                                                           unit_entry& unit, std::size_t width) {
  if (unit.column - 1 > unit.record_length) {
    place_repeated(params, unit, ' ',
                   static_cast<std::size_t>(unit.column - 1 - unit.record_length));
    unit.record_length = unit.column - 1;
  }
  std::span<char> columns(reserve(params, unit, width), width);
  unit.record_length += static_cast<std::int64_t>(width);
  unit.column = unit.record_length + 1;
  return columns;
}

// After the first write statement the file holds exactly the records written.
void cut_old_contents(const statement_params& params, unit_entry& unit) {
  if (unit.regular_file && ::ftruncate(unit.fd, unit.complete_bytes) != 0) {
    raise_write_failure(params, errno);
  }
}

}  // namespace

void place_output_text(const statement_params& params, unit_entry& unit, std::string_view text) {
  while (!text.empty()) {
    const std::size_t piece = std::min(text.size(), output_capacity);
    const std::span<char> columns = next_columns(params, unit, piece);
    std::memcpy(columns.data(), text.data(), piece);
    text.remove_prefix(piece);
  }
}

void end_output_record(const statement_params& params, unit_entry& unit) {
  *reserve(params, unit, 1) = '\n';
  unit.record_length = 0;
  unit.column = 1;
}

void st_write(const statement_params& params) {
  active_statement& statement = begin_statement(params, true);
  statement.unit->record_length = 0;
  statement.unit->column = 1;
  statement.unit->statement_bytes = 0;
}

void transfer_integer_write(const statement_params& params, std::int32_t item) {
  const format_item& field = next_field(params, item_kind::integer);
  unit_entry& unit = active_unit();
  write_integer_field(item, next_columns(params, unit, static_cast<std::size_t>(field.width)));
}

void transfer_real_write(const statement_params& params, float item) {
  const format_item& field = next_field(params, item_kind::real);
  unit_entry& unit = active_unit();
  write_real_field(item, field.decimals,
                   next_columns(params, unit, static_cast<std::size_t>(field.width)));
}

void st_write_done(const statement_params& params) {
  finish_format(params);
  unit_entry& unit = active_unit();
  end_output_record(params, unit);
  // Each statement's records reach the file when it ends, so a refused write is
  // reported by the statement that made it and nothing waits in memory for a close.
  hand_to_file(params, unit);
  unit.complete_bytes += unit.statement_bytes;
  if (!unit.written) {
    unit.written = true;
    cut_old_contents(params, unit);
  }
}

}  // namespace records
