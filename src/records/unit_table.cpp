#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <new>
#include <utility>

#include "records/detail/errors.hpp"
#include "records/statement.hpp"

namespace records {
namespace {

constexpr int common_flags = O_CLOEXEC | O_NOCTTY;

fatal_error open_error(const statement_params& params, std::string_view file_name,
                       int error_number) {
  fatal_error error = detail::statement_error(params.source, params.statement_line, params.unit,
                                              nullptr, condition::cannot_open);
  error.file_name = file_name;
  error.detail = detail::system_reason(error_number);
  return error;
}

void take_identity(detail::unit& unit, const struct stat& status) {
  unit.device = status.st_dev;
  unit.inode = status.st_ino;
  unit.regular_file = S_ISREG(status.st_mode);
}

// What every open ends with: the file's identity, and a reader on its descriptor.
// Returns 0 or the reason the file cannot be used.
int take_opened_file(detail::unit& unit) {
  struct stat status {};
  if (::fstat(unit.fd, &status) != 0) return errno;
  if (S_ISDIR(status.st_mode)) return EISDIR;
  take_identity(unit, status);
  unit.reader.reset(unit.fd, unit.buffers->read_block);
  return 0;
}

// Opening sets no direction: try both, then each one alone. Nothing is truncated,
// and an absent file is created. Returns 0 or the reason the file cannot be used.
int open_regular(detail::unit& unit) {
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
  if (unit.fd < 0) return unit.read_write_errno;
  return take_opened_file(unit);
}

// Opens a unit that waited for its first use, for that direction only.
int open_for(detail::unit& unit, bool writing) {
  unit.opens_on_first_use = false;
  unit.fd = ::open(unit.file_name.c_str(), (writing ? O_WRONLY : O_RDONLY) | common_flags);
  if (unit.fd < 0) return errno;
  // The other direction was never opened; using it is refused like a write to a
  // file that may only be read.
  unit.read_write_errno = EBADF;
  unit.can_read = !writing;
  unit.can_write = writing;
  // The name may lead elsewhere now than when the unit was connected.
  return take_opened_file(unit);
}

}  // namespace

unit_table::~unit_table() {
  abandon_all();
}

detail::unit& unit_table::prepare(const statement_params& params, std::string_view file_name) {
  std::size_t free_slot = detail::max_units;
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (in_use_[i] && slot(i)->number == params.unit) {
      if (slot(i)->fd >= 0) ::close(slot(i)->fd);
      in_use_[i] = false;
    }
    if (!in_use_[i] && free_slot == detail::max_units) free_slot = i;
  }
  if (free_slot == detail::max_units) raise(open_error(params, file_name, EMFILE));
  detail::unit& unit = *new (slot(free_slot)) detail::unit;
  in_use_[free_slot] = true;
  unit.buffers = buffers_.slot(free_slot);
  unit.output = unit.buffers->output.data();
  unit.number = params.unit;
  unit.source = params.source;
  if (!unit.file_name.assign(file_name, unit.buffers->long_file_name)) {
    raise(open_error(params, file_name, ENAMETOOLONG));
  }
  return unit;
}

void unit_table::st_open(const statement_params& params, std::string_view file_name) {
  detail::unit& unit = prepare(params, file_name);
  struct stat status {};
  const bool exists = ::stat(unit.file_name.c_str(), &status) == 0;
  const bool absent = !exists && errno == ENOENT;
  if (exists && !S_ISREG(status.st_mode)) {
    if (S_ISDIR(status.st_mode)) raise(open_error(params, file_name, EISDIR));
    take_identity(unit, status);
    unit.opens_on_first_use = true;
  } else if (const int error_number = open_regular(unit); error_number != 0) {
    raise(open_error(params, file_name, error_number));
  }
  // Only said in a report: a listing that was never there reads as an empty one.
  unit.created = absent;
  refuse_second_connection(params, unit);
}

// Two units on one file would read back what the other wrote, or overwrite the
// file being read: the second connection is refused before anything is read or
// written, however the two names reach the file.
void unit_table::refuse_second_connection(const statement_params& params,
                                          const detail::unit& unit) {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    const detail::unit& other = *slot(i);
    if (!in_use_[i] || &other == &unit || other.device != unit.device ||
        other.inode != unit.inode) {
      continue;
    }
    fatal_error error = open_error(params, unit.file_name.view(), 0);
    error.detail = "it is the same file as ";
    detail::append_printable(error.detail, other.file_name.view());
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, other.number).ptr;
    error.detail.append(" (unit ");
    error.detail.append({number, static_cast<std::size_t>(end - number)});
    error.detail.push_back(')');
    raise(error);
  }
}

detail::unit& unit_table::first_use(const statement_params& params, direction use) {
  detail::unit* unit = find(params.unit);
  if (unit == nullptr) {
    raise(detail::statement_error(params.source, params.statement_line, params.unit, nullptr,
                                  condition::unit_not_connected));
  }
  if (unit->opens_on_first_use) {
    if (const int error_number = open_for(*unit, use == direction::writing); error_number != 0) {
      raise(open_error(params, unit->file_name.view(), error_number));
    }
    refuse_second_connection(params, *unit);
  }
  return *unit;
}

void unit_table::raise(const fatal_error& error) {
  abandon_all();
  throw error;
}

void unit_table::abandon_all() {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (in_use_[i] && slot(i)->fd >= 0) ::close(slot(i)->fd);
    in_use_[i] = false;
  }
}

void unit_table::stop_string() {
  const detail::unit* refused = nullptr;
  int error_number = 0;
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (!in_use_[i]) continue;
    in_use_[i] = false;
    const detail::unit& unit = *slot(i);
    if (unit.fd < 0 || ::close(unit.fd) == 0 || refused != nullptr) continue;
    refused = &unit;
    error_number = errno;
  }
  if (refused == nullptr) return;
  // The records may not all be in the file: that is no normal end.
  fatal_error error;
  error.what_happened = condition::cannot_close;
  error.source = refused->source.view();
  error.unit = refused->number;
  error.file_name = refused->file_name.view();
  error.detail = detail::system_reason(error_number);
  throw error;
}

}  // namespace records
