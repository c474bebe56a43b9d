#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "records/detail/errors.hpp"
#include "records/detail/output_editing.hpp"
#include "records/statement.hpp"

namespace records {

using detail::output_capacity;

write_statement::write_statement(unit_table& units, const statement_params& params,
                                 format_view format)
    : units_(units), unit_(units.unit_for(params)), params_(params), cursor_(format) {}

void write_statement::raise_write_failure(std::string_view reason, std::string_view note) {
  fatal_error error = detail::statement_error(params_.source, params_.statement_line, params_.unit,
                                              &unit_, condition::cannot_write);
  error.detail = reason;
  error.detail.append(note);
  units_.raise(error);
}

// Before the first byte of the run reaches a regular file, the file is cut to
// nothing: a file that cannot be cut keeps its old bytes whole, never followed by
// new ones. A standard stream that the process inherited is never cut.
void write_statement::replace_old_contents() {
  unit_.replaced = true;
  if (unit_.regular_file && !unit_.inherited && ::ftruncate(unit_.fd, 0) != 0) {
    raise_write_failure(detail::system_reason(errno));
  }
}

// A statement whose bytes did not all reach the file takes back the part that
// did, so the file never ends inside a record: it is cut back to the end of the
// statement before. Where that is not possible, the report says so.
void write_statement::raise_refused_write(std::string_view reason) {
  const bool untouched = handed_bytes_ == 0 && unit_.output_size == output_left_;
  if (untouched || !unit_.regular_file) raise_write_failure(reason);
  if (unit_.inherited) raise_write_failure(reason, " (the file may end inside a record)");
  if (::ftruncate(unit_.fd, unit_.complete_bytes) == 0) raise_write_failure(reason);
  reason_text note(std::string_view(" (cutting the file back to its last whole record failed: "));
  note.append(detail::system_reason(errno));
  note.append("; it may end inside a record)");
  raise_write_failure(reason, note.view());
}

// Hands the gathered bytes to the file. A size limit or a reader that went away
// makes write(2) fail like a full disk (the process ignores SIGXFSZ and SIGPIPE).
void write_statement::hand_to_file() {
  if (!unit_.replaced) [[unlikely]] {
    replace_old_contents();
  }
  const char* pending = unit_.output;
  output_left_ = unit_.output_size;
  while (output_left_ != 0) {
    const ssize_t count = ::write(unit_.fd, pending, output_left_);
    if (count <= 0) [[unlikely]] {
      if (count < 0 && errno == EINTR) continue;
      // A write that takes nothing would be tried forever.
      raise_refused_write(count < 0 ? detail::system_reason(errno)
                                    : std::string_view("the system accepted no bytes"));
    }
    pending += count;
    output_left_ -= static_cast<std::size_t>(count);
  }
  handed_bytes_ += static_cast<std::int64_t>(unit_.output_size);
  unit_.output_size = 0;
}

// The next `width` columns of the record at the current column, for a field to be
// edited straight into. A skip leaves blanks behind it once something is placed
// after it.
std::span<char> write_statement::next_columns(std::size_t width) {
  while (record_length_ < column_ - 1)
    [[unlikely]] {
      const auto blanks =
          std::min(static_cast<std::size_t>(column_ - 1 - record_length_), output_capacity);
      std::memset(reserve(blanks), ' ', blanks);
      record_length_ += static_cast<std::int64_t>(blanks);
    }
  const std::span<char> columns(reserve(width), width);
  record_length_ += static_cast<std::int64_t>(width);
  column_ = record_length_ + 1;
  return columns;
}

void write_statement::literal(std::string_view text) {
  while (!text.empty()) {
    const std::size_t piece = std::min(text.size(), output_capacity);
    std::memcpy(next_columns(piece).data(), text.data(), piece);
    text.remove_prefix(piece);
  }
}

void write_statement::next_record() {
  *reserve(1) = '\n';
  record_length_ = 0;
  column_ = 1;
}

void write_statement::mismatch(item_kind wanted, const format_item* met) {
  fatal_error error = detail::statement_error(params_.source, params_.statement_line, params_.unit,
                                              &unit_, condition::item_mismatch);
  error.detail = detail::mismatch_detail(wanted, met);
  units_.raise(error);
}

void write_statement::transfer_integer_write(std::int32_t item) {
  const format_item& field = cursor_.next_field(*this, item_kind::integer);
  detail::write_integer_field(item, next_columns(static_cast<std::size_t>(field.width)));
}

void write_statement::transfer_real_write(float item) {
  const format_item& field = cursor_.next_field(*this, item_kind::real);
  detail::write_real_field(item, field.decimals,
                           next_columns(static_cast<std::size_t>(field.width)));
}

void write_statement::st_write_done() {
  cursor_.finish(*this);
  next_record();
  // Each statement's records reach the file when it ends, so a refused write is
  // reported by the statement that made it and nothing waits in memory.
  hand_to_file();
  unit_.complete_bytes += handed_bytes_;
}

}  // namespace records
