#include "records/connection.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "records/statement_errors.hpp"

namespace records {
namespace {

constexpr int common_flags = O_CLOEXEC | O_NOCTTY;

[[noreturn]] void raise_open_failure(const statement_params& params, int error_number) {
  fatal_error error = statement_error(params, condition::cannot_open);
  error.file_name = params.text;
  error.detail = system_reason(error_number);
  raise(std::move(error));
}

// Two units on one file would read back what the other wrote, or overwrite the
// file being read: the second connection is refused before anything is read or
// written, however the two names reach the file.
void refuse_second_connection(const statement_params& params, const unit_entry& unit) {
  const unit_entry* other = connected_units().holding(unit, unit.device, unit.inode);
  if (other == nullptr) return;
  fatal_error error = statement_error(params, condition::cannot_open);
  error.file_name = params.text;
  error.detail = "it is the same file as ";
  append_printable(error.detail, other->file_name.view());
  char number[16];
  const auto end = std::to_chars(number, number + sizeof number, other->number).ptr;
  error.detail.append(" (unit ");
  error.detail.append({number, static_cast<std::size_t>(end - number)});
  error.detail.push_back(')');
  raise(std::move(error));
}

void take_identity(unit_entry& unit, const struct stat& status) {
  unit.device = status.st_dev;
  unit.inode = status.st_ino;
  unit.regular_file = S_ISREG(status.st_mode);
}

// Opening sets no direction: try both, then each one alone. Nothing is truncated,
// and an absent file is created.
void open_regular(const statement_params& params, unit_entry& unit) {
  const char* name = unit.file_name.c_str();
  unit.fd = ::open(name, O_RDWR | O_CREAT | common_flags, 0666);
  if (unit.fd < 0) {
    unit.read_write_errno = errno;
    unit.fd = ::open(name, O_RDONLY | common_flags);
    if (unit.fd >= 0) {
      unit.can_write = false;
    } else {
      unit.fd = ::open(name, O_WRONLY | common_flags);
      unit.can_read = false;
    }
  }
  if (unit.fd < 0) raise_open_failure(params, unit.read_write_errno);
  struct stat status {};
  if (::fstat(unit.fd, &status) != 0) raise_open_failure(params, errno);
  if (S_ISDIR(status.st_mode)) raise_open_failure(params, EISDIR);
  take_identity(unit, status);
  unit.reader.reset(unit.fd);
}

}  // namespace

void st_open(const statement_params& params) {
  unit_entry* unit = connected_units().prepare(params.unit);
  if (unit == nullptr) raise_open_failure(params, EMFILE);
  unit->source = params.source;
  if (!unit->file_name.assign(params.text)) raise_open_failure(params, ENAMETOOLONG);
  struct stat status {};
  if (::stat(unit->file_name.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    if (S_ISDIR(status.st_mode)) raise_open_failure(params, EISDIR);
    take_identity(*unit, status);
    unit->opens_on_first_use = true;
  } else {
    open_regular(params, *unit);
  }
  refuse_second_connection(params, *unit);
}

void open_on_first_use(const statement_params& params, unit_entry& unit, bool writing) {
  unit.opens_on_first_use = false;
  unit.fd = ::open(unit.file_name.c_str(), (writing ? O_WRONLY : O_RDONLY) | common_flags);
  if (unit.fd < 0) raise_open_failure(params, errno);
  // The other direction was never opened; using it is refused like a write to a
  // file that may only be read.
  unit.read_write_errno = EBADF;
  unit.can_read = !writing;
  unit.can_write = writing;
  struct stat status {};
  if (::fstat(unit.fd, &status) != 0) raise_open_failure(params, errno);
  // The name may lead elsewhere now than when the unit was connected.
  take_identity(unit, status);
  refuse_second_connection(params, unit);
  unit.reader.reset(unit.fd);
}

void stop_string() {
  if (const auto failure = connected_units().close_all()) {
    fatal_error error;
    error.what_happened = condition::cannot_close;
    error.source = failure->source.view();
    error.unit = failure->unit;
    error.file_name = failure->file_name.view();
    error.detail = system_reason(failure->error_number);
    throw error;
  }
}

}  // namespace records
