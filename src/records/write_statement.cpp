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
    : units_(units),
      unit_(units.unit_for(params, unit_table::direction::writing)),
      params_(params),
      cursor_(format) {}

void write_statement::raise_write_failure(int error_number) {
  fatal_error error = detail::statement_error(params_.source, params_.statement_line, params_.unit,
                                              &unit_, condition::cannot_write);
  error.detail = detail::system_reason(error_number);
  units_.raise(error);
}

// Hands the gathered bytes to the file. A statement whose bytes did not all reach
// it takes back the part that did, so the file never ends inside a record: it is
// cut back to the end of the statement before. A size limit or a reader that went
// away makes write(2) fail like a full disk (the process ignores SIGXFSZ and
// SIGPIPE).
void write_statement::hand_to_file() {
  if (!unit_.can_write) [[unlikely]] {
    raise_write_failure(unit_.read_write_errno);
  }
  const char* pending = unit_.output;
  std::size_t left = unit_.output_size;
  while (left != 0) {
    const ssize_t count = ::write(unit_.fd, pending, left);
    if (count < 0) [[unlikely]] {
      if (errno == EINTR) continue;
      const int error_number = errno;
      if (unit_.regular_file) (void)::ftruncate(unit_.fd, unit_.complete_bytes);
      raise_write_failure(error_number);
    }
    pending += count;
    left -= static_cast<std::size_t>(count);
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
  if (!unit_.written) {
    // After the first write statement the file holds exactly the records written.
    unit_.written = true;
    if (unit_.regular_file && ::ftruncate(unit_.fd, unit_.complete_bytes) != 0) {
      raise_write_failure(errno);
    }
  }
}

}  // namespace records
