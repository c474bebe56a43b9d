#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "records/statement_errors.hpp"
#include "records/unit_table.hpp"

namespace records {
namespace {

[[noreturn]] void raise_open_failure(const statement_params& params, int error_number) {
  fatal_error error = statement_error(params, condition::cannot_open);
  error.file_name = params.text;
  error.detail = system_reason(error_number);
  raise(std::move(error));
}

}  // namespace

void st_open(const statement_params& params) {
  const std::string name(params.text);
  constexpr int common_flags = O_CLOEXEC | O_NOCTTY;
  unit_entry entry;
  entry.number = params.unit;
  entry.file_name = name;
  entry.source = params.source;
  // Opening sets no direction: try both, then each one alone. Nothing is truncated.
  entry.fd = ::open(name.c_str(), O_RDWR | O_CREAT | common_flags, 0666);
  if (entry.fd < 0) {
    entry.read_write_errno = errno;
    entry.fd = ::open(name.c_str(), O_RDONLY | common_flags);
    if (entry.fd >= 0) {
      entry.can_write = false;
    } else {
      entry.fd = ::open(name.c_str(), O_WRONLY | common_flags);
      entry.can_read = false;
    }
  }
  if (entry.fd < 0) raise_open_failure(params, entry.read_write_errno);
  struct stat status {};
  if (::fstat(entry.fd, &status) != 0) {
    const int error_number = errno;
    ::close(entry.fd);
    raise_open_failure(params, error_number);
  }
  if (S_ISDIR(status.st_mode)) {
    ::close(entry.fd);
    raise_open_failure(params, EISDIR);
  }
  entry.regular_file = S_ISREG(status.st_mode);
  connected_units().connect(std::move(entry));
}

void stop_string() {
  if (const auto failure = connected_units().close_all()) {
    fatal_error error;
    error.what_happened = condition::cannot_close;
    error.source = failure->source;
    error.unit = failure->unit;
    error.file_name = failure->file_name;
    error.detail = system_reason(failure->error_number);
    throw error;
  }
}

}  // namespace records
