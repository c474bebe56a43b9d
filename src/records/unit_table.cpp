#include "records/unit_table.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <new>
#include <utility>

namespace records {
namespace {

constexpr int common_flags = O_CLOEXEC | O_NOCTTY;

fatal_error open_error(const statement_params& params, std::string_view file_name,
                       int error_number) {
  fatal_error error;
  error.what_happened = condition::cannot_open;
  error.source = params.source;
  error.statement_line = params.statement_line;
  error.unit = params.unit;
  error.file_name = file_name;
  error.detail = system_reason(error_number);
  return error;
}

// An error of a connected unit, at the statement last begun on it.
fatal_error unit_error(const detail::unit& unit, condition what_happened, std::int32_t line) {
  fatal_error error;
  error.what_happened = what_happened;
  error.source = unit.source.view();
  error.statement_line = line;
  error.unit = unit.number;
  error.file_name = unit.file_name.view();
  return error;
}

int open_retrying(const char* name, int flags) {
  int fd = -1;
  do {
    fd = ::open(name, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The identity of an open file; false when the system cannot tell it.
bool identify(int fd, detail::file_identity& identity) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  identity = detail::file_identity::of(status);
  return true;
}

// The identity of a file that could not be opened for reading or writing, from a
// descriptor that only names it.
bool identify_by_name(const char* name, detail::file_identity& identity) {
  const int fd = open_retrying(name, O_PATH | O_CLOEXEC);
  if (fd < 0) return false;
  const bool known = identify(fd, identity);
  return ::close(fd) == 0 && known;
}

// Opens the unit's file for its one direction and learns what it is from the
// descriptor itself. Returns 0 or the reason the file cannot be used.
int open_file_for_use(detail::unit& unit) {
  const char* name = unit.file_name.c_str();
  if (unit.for_writing) {
    unit.fd = open_retrying(name, O_WRONLY | O_CREAT | common_flags);
  } else {
    // Without O_CREAT first, only so that a report can tell that the run itself
    // created the file it then found empty.
    unit.fd = open_retrying(name, O_RDONLY | common_flags);
    if (unit.fd < 0 && errno == ENOENT) {
      unit.fd = open_retrying(name, O_RDONLY | O_CREAT | common_flags);
      unit.created = unit.fd >= 0;
    }
  }
  if (unit.fd < 0 || !identify(unit.fd, unit.opened)) return errno;
  if (S_ISDIR(unit.opened.mode)) return EISDIR;
  unit.regular_file = S_ISREG(unit.opened.mode);
  unit.drain_before_close =
      !unit.for_writing && (S_ISFIFO(unit.opened.mode) || S_ISSOCK(unit.opened.mode));
  return 0;
}

// Waits until no other process holds the file; the lock belongs to the open
// file, so the kernel drops it when the process ends, however it ends. A file
// system that keeps no locks is written unlocked. Returns 0 or the reason.
int lock_for_writing(int fd) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  while (::fcntl(fd, F_OFD_SETLKW, &whole) != 0) {
    if (errno == EINTR) continue;
    if (errno == ENOLCK || errno == EOPNOTSUPP) return 0;
    return errno;
  }
  return 0;
}

// Reads a FIFO or socket to its end; what it holds past the run's needs is
// dropped. A failing read ends it as the end would.
void drain(detail::unit& unit) {
  char* const block = unit.buffers->read_block.start();
  while (true) {
    const ssize_t count = ::read(unit.fd, block, detail::reader_block::size);
    if (count > 0 || (count < 0 && errno == EINTR)) continue;
    return;
  }
}

}  // namespace

unit_table::~unit_table() {
  abandon_all();
}

detail::unit& unit_table::prepare(const statement_params& params, std::string_view file_name) {
  std::size_t free_slot = detail::max_units;
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    // An earlier connection of the unit ends here; its close is checked.
    if (in_use_[i] && slot(i)->number == params.unit) {
      if (!slot(i)->output.hand_to_file()) fail_write(params.unit);
      if (const int error_number = release(i); error_number != 0) {
        raise_unit_error(*slot(i), condition::cannot_close, 0, error_number);
      }
    }
    if (!in_use_[i] && free_slot == detail::max_units) free_slot = i;
  }
  detail::unit_buffers* const buffers =
      free_slot == detail::max_units ? nullptr : detail::take_unit_buffers();
  if (buffers == nullptr) raise_open_error(params, file_name, EMFILE);
  detail::unit& unit = *new (slot(free_slot)) detail::unit;
  in_use_[free_slot] = true;
  unit.buffers = buffers;
  unit.number = params.unit;
  unit.source = params.source;
  unit.statement_line = params.statement_line;
  if (!unit.file_name.assign(file_name, unit.buffers->long_file_name)) {
    raise_open_error(params, file_name, ENAMETOOLONG);
  }
  return unit;
}

void unit_table::st_open(const statement_params& params, std::string_view file_name,
                         direction use) {
  detail::unit& unit = prepare(params, file_name);
  unit.for_writing = use == direction::write;
  if (const int error_number = open_file_for_use(unit); error_number != 0) {
    // A file that may not be opened for the unit's use may still be another
    // unit's file, which says more of what is wrong.
    if (identify_by_name(unit.file_name.c_str(), unit.opened)) {
      refuse_second_connection(params, unit);
    }
    raise_open_error(params, file_name, error_number);
  }
  refuse_second_connection(params, unit);
  if (unit.for_writing) {
    take_standard_stream(unit);
    if (unit.regular_file && !unit.inherited) {
      if (const int error_number = lock_for_writing(unit.fd); error_number != 0) {
        raise_open_error(params, file_name, error_number);
      }
    }
  }
  unit.input.start(unit.fd, unit.buffers->read_block, unit.created);
  unit.output.start(unit.fd, unit.buffers->output.data(), unit.regular_file, unit.inherited);
}

// Two units on one file would read back what the other wrote, or overwrite the
// file being read: the second connection is refused before anything is read or
// written, however the two names reach the file.
void unit_table::refuse_second_connection(const statement_params& params,
                                          const detail::unit& unit) {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    const detail::unit& other = *slot(i);
    if (!in_use_[i] || &other == &unit) continue;
    detail::file_identity now;
    if (!identify(other.fd, now)) now = other.opened;
    if (!unit.opened.same_file(now)) continue;
    raise_open_error(params, unit.file_name.view(), 0, &other);
  }
}

void unit_table::raise_open_error(const statement_params& params, std::string_view file_name,
                                  int error_number, const detail::unit* same_file_as) {
  fatal_error error = open_error(params, file_name, error_number);
  if (same_file_as != nullptr) {
    error.detail = "it is the same file as ";
    append_printable(error.detail, same_file_as->file_name.view());
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, same_file_as->number).ptr;
    error.detail.append(" (unit ");
    error.detail.append({number, static_cast<std::size_t>(end - number)});
    error.detail.push_back(')');
  }
  raise(error);
}

// A file to write that is the process's standard output or error, under any
// name (/dev/stdout, /proc/self/fd/1): reopened by name it would lose the mode
// the shell gave it, and `eigpick >> all` would overwrite `all`. The inherited
// descriptor is written instead, where it stands.
void unit_table::take_standard_stream(detail::unit& unit) {
  for (const int standard : {STDOUT_FILENO, STDERR_FILENO}) {
    detail::file_identity stream;
    if (!identify(standard, stream) || !unit.opened.same_file(stream)) continue;
    // The unit's descriptor becomes a copy of the standard one in place; where
    // that fails, its own descriptor still writes the file.
    unit.inherited = ::dup3(standard, unit.fd, O_CLOEXEC) == unit.fd;
    return;
  }
}

detail::unit* unit_table::find(std::int32_t number) {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (in_use_[i] && slot(i)->number == number) return slot(i);
  }
  return nullptr;
}

detail::unit& unit_table::find_for(const statement_params& params) {
  last_used_ = find(params.unit);
  if (last_used_ == nullptr) [[unlikely]] {
    raise_not_connected(params);
  }
  return *last_used_;
}

void unit_table::raise_not_connected(const statement_params& params) {
  fatal_error error;
  error.what_happened = condition::unit_not_connected;
  fail(params, error);
}

void unit_table::fail(const statement_params& params, fatal_error error) {
  error.source = params.source;
  error.statement_line = params.statement_line;
  error.unit = params.unit;
  if (const detail::unit* unit = find(params.unit); unit != nullptr) {
    error.file_name = unit->file_name.view();
  }
  raise(error);
}

int unit_table::release(std::size_t index) {
  detail::unit& unit = *slot(index);
  in_use_[index] = false;
  if (last_used_ == &unit) last_used_ = nullptr;
  detail::give_back_unit_buffers(unit.buffers);
  if (unit.fd < 0 || ::close(unit.fd) == 0) return 0;
  return errno;
}

void unit_table::hand_over_output() {
  gathered_output_ = false;
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (in_use_[i] && !slot(i)->output.hand_to_file()) fail_write(slot(i)->number);
  }
}

void unit_table::fail_write(std::int32_t unit) {
  const detail::unit& refused = *find(unit);
  const detail::write_refusal& refusal = refused.output.refusal();
  fatal_error error = unit_error(refused, condition::cannot_write, refusal.statement_line);
  error.detail = refusal.error_number != 0 ? system_reason(refusal.error_number)
                                           : std::string_view("the system accepted no bytes");
  if (refusal.cut_back_error_number != 0) {
    error.detail.append(" (cutting the file back to its last whole record failed: ");
    error.detail.append(system_reason(refusal.cut_back_error_number));
    error.detail.append("; it may end inside a record)");
  } else if (refusal.may_end_inside_record) {
    error.detail.append(" (the file may end inside a record)");
  }
  raise(error);
}

void unit_table::close_unit(std::size_t index) {
  detail::unit& unit = *slot(index);
  if (!unit.output.hand_to_file()) fail_write(unit.number);
  if (unit.drain_before_close) {
    drain(unit);
  } else if (!unit.for_writing && unit.regular_file) {
    detail::file_identity now;
    if (identify(unit.fd, now) && !now.same_contents(unit.opened)) {
      raise_unit_error(unit, condition::changed_while_read, unit.statement_line, 0);
    }
  }
  if (const int error_number = release(index); error_number != 0) {
    raise_unit_error(unit, condition::cannot_close, 0, error_number);
  }
}

// A close refused: the records may not all be in the file, which is no normal
// end. The freed slot still holds the unit's names.
void unit_table::raise_unit_error(const detail::unit& unit, condition what_happened,
                                  std::int32_t statement_line, int error_number) {
  fatal_error error = unit_error(unit, what_happened, statement_line);
  if (error_number != 0) error.detail = system_reason(error_number);
  raise(error);
}

void unit_table::st_close(std::int32_t unit) {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (in_use_[i] && slot(i)->number == unit) close_unit(i);
  }
}

void unit_table::raise(const fatal_error& error) {
  abandon_all();
  throw error;
}

int unit_table::abandon_all() {
  // Units to write go first: a reader of fort.50 sees its end at once, and a
  // FIFO this process reads never waits on a writer that is this process.
  int first_failure = 0;
  const auto keep_failure = [&first_failure](int error_number) {
    if (first_failure == 0) first_failure = error_number;
  };
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (!in_use_[i] || slot(i)->drain_before_close) continue;
    // The records of whole statements still reach the file; a refusal was
    // taken back, and the failure already on its way is the one reported.
    if (!slot(i)->output.hand_to_file()) keep_failure(slot(i)->output.refusal().error_number);
    keep_failure(release(i));
  }
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (!in_use_[i]) continue;
    drain(*slot(i));
    keep_failure(release(i));
  }
  return first_failure;
}

void unit_table::stop_string() {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (in_use_[i]) close_unit(i);
  }
}

}  // namespace records
