#include "records/unit_table.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
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

int open_retrying(int directory, const char* name, int flags) {
  int fd = -1;
  do {
    fd = ::openat(directory, name, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The file a descriptor reaches, and what kind of file it is; false when the
// system cannot tell.
bool identify(int fd, detail::file_key& key, mode_t& mode) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  key = {status.st_dev, status.st_ino};
  mode = status.st_mode;
  return true;
}

// A name that is a symbolic link to nothing: reading it must not create a file
// wherever the link points. Its target goes into `target`.
bool is_dangling_link(int directory, const char* name, name_text& target) {
  struct stat status {};
  if (::fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(status.st_mode)) {
    return false;
  }
  if (::fstatat(directory, name, &status, 0) == 0 || errno != ENOENT) return false;
  char text[256];
  const ssize_t length = ::readlinkat(directory, name, text, sizeof text);
  if (length > 0) target = std::string_view(text, static_cast<std::size_t>(length));
  return true;
}

// Waits until no other process holds the file; the lock belongs to the open
// file, so the kernel drops it when the process ends, however it ends. A file
// system that keeps no locks is written unlocked. Returns 0 or the reason.
int lock_for_writing(detail::unit& unit) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  while (::fcntl(unit.fd, F_OFD_SETLKW, &whole) != 0) {
    if (errno == EINTR) continue;
    if (errno == ENOLCK || errno == EOPNOTSUPP) return 0;
    return errno;
  }
  unit.locked = true;
  return 0;
}

// The lock goes before the descriptor does: a process forked meanwhile shares
// the open file, and would otherwise keep the lock until it ends.
void unlock(detail::unit& unit) {
  if (!unit.locked) return;
  unit.locked = false;
  struct flock whole {};
  whole.l_type = F_UNLCK;
  whole.l_whence = SEEK_SET;
  // Closing the last descriptor drops the lock all the same.
  static_cast<void>(::fcntl(unit.fd, F_OFD_SETLK, &whole));
}

// The signals a write can raise: a FIFO whose reader went away, a file size
// limit.
sigset_t write_signals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGPIPE);
  sigaddset(&signals, SIGXFSZ);
  return signals;
}

// Default-initialised: the buffers stay untouched until a unit fills them.
unit_memory* new_unit_memory() {
  return new unit_memory;  // NOLINT(cppcoreguidelines-owning-memory)
}

}  // namespace

// The units' small states are left uninitialised: each is made when its unit
// is connected.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
unit_table::unit_table() : own_memory_(new_unit_memory()), memory_(own_memory_->bytes) {
  block_write_signals();
}

// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
unit_table::unit_table(unit_memory& memory, int directory)
    : directory_(directory), memory_(memory.bytes) {
  block_write_signals();
}

void unit_table::block_write_signals() {
  const sigset_t signals = write_signals();
  sigpending(&pending_before_);
  pthread_sigmask(SIG_BLOCK, &signals, &signals_before_);
}

unit_table::~unit_table() {
  // No report is on its way: a peer still writing is read to its end now.
  abandon_all(nullptr);
  // The signals the table's writes raised are taken, those that were pending
  // before are left to the thread, and its mask is as it was.
  sigset_t raised = write_signals();
  sigset_t pending;
  sigpending(&pending);
  for (const int signal : {SIGPIPE, SIGXFSZ}) {
    if (sigismember(&pending, signal) == 0 || sigismember(&pending_before_, signal) != 0) {
      sigdelset(&raised, signal);
    }
  }
  const timespec no_wait{};
  while (sigisemptyset(&raised) == 0) {
    const int taken = sigtimedwait(&raised, nullptr, &no_wait);
    if (taken < 0 && errno == EINTR) continue;
    if (taken < 0) break;
    sigdelset(&raised, taken);
  }
  pthread_sigmask(SIG_SETMASK, &signals_before_, nullptr);
}

void unit_table::st_backspace(std::int32_t unit) {
  if (detail::unit* connected_unit = find(unit); connected_unit != nullptr) {
    connected_unit->input.read_again();
  }
}

detail::unit& unit_table::prepare(const statement_params& params, std::string_view file_name) {
  std::size_t free_slot = detail::max_units;
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    // An earlier connection of the unit ends here; its close is checked.
    if (connected(i) && slot(i)->number == params.unit) {
      if (!slot(i)->output.hand_to_file()) fail_write(params.unit);
      if (const int error_number = release(i); error_number != 0) {
        raise_unit_error(*slot(i), condition::cannot_close, 0, error_number);
      }
    }
    if (!in_use_[i] && free_slot == detail::max_units) free_slot = i;
  }
  if (free_slot == detail::max_units) raise_open_error(params, file_name, EMFILE);
  detail::unit_buffers* const buffers = detail::buffers_of_slot(memory_, free_slot);
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

// Opens the unit's file for its one direction and learns what it is from the
// descriptor itself. Returns 0 or the reason the file cannot be used.
int unit_table::open_file_for_use(const statement_params& params, detail::unit& unit) {
  const char* name = unit.file_name.c_str();
  if (unit.for_writing) {
    unit.fd = open_retrying(directory_, name, O_WRONLY | O_CREAT | common_flags);
  } else {
    // An absent file to read is created empty, and only a truly absent one:
    // O_EXCL follows no link, so a link to nothing is refused, not made real.
    unit.fd = open_retrying(directory_, name, O_RDONLY | common_flags);
    if (unit.fd < 0 && errno == ENOENT) {
      unit.fd = open_retrying(directory_, name, O_RDONLY | O_CREAT | O_EXCL | common_flags);
      unit.created = unit.fd >= 0;
      if (unit.fd < 0 && errno == EEXIST) {
        if (name_text target; is_dangling_link(directory_, name, target)) {
          raise_dangling_link(params, unit.file_name.view(), target.view());
        }
        unit.fd = open_retrying(directory_, name, O_RDONLY | common_flags);
      }
    }
  }
  mode_t mode = 0;
  if (unit.fd < 0 || !identify(unit.fd, unit.key, mode)) return errno;
  if (S_ISDIR(mode)) return EISDIR;
  unit.regular_file = S_ISREG(mode);
  unit.drain_before_close = !unit.for_writing && (S_ISFIFO(mode) || S_ISSOCK(mode));
  unit.layers = detail::find_layer_files(unit.fd, unit.buffers->read_block.storage);
  return 0;
}

void unit_table::st_open(const statement_params& params, std::string_view file_name,
                         direction use) {
  detail::unit& unit = prepare(params, file_name);
  unit.for_writing = use == direction::write;
  if (const int error_number = open_file_for_use(params, unit); error_number != 0) {
    // A file that may not be opened for the unit's use may still be another
    // unit's file, which says more of what is wrong.
    if (identify_by_name(unit)) refuse_second_connection(params, unit);
    raise_open_error(params, file_name, error_number);
  }
  refuse_second_connection(params, unit);
  if (unit.for_writing) {
    take_standard_stream(unit);
    if (unit.regular_file && !unit.inherited) {
      if (const int error_number = lock_for_writing(unit); error_number != 0) {
        raise_open_error(params, file_name, error_number);
      }
    }
  } else if (unit.regular_file) {
    // The file's state is taken at its first read, once every unit is open:
    // whatever happened to it while the run waited is no concern of the run.
    attention_needed_ = true;
  }
  unit.input.start(unit.fd, unit.buffers->read_block, unit.buffers->shapes, unit.created);
  unit.output.start(unit.fd, unit.buffers->output.data(), unit.regular_file, unit.inherited);
}

// The identity of a file that could not be opened for reading or writing, from a
// descriptor that only names it.
bool unit_table::identify_by_name(detail::unit& unit) const {
  const int fd = open_retrying(directory_, unit.file_name.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return false;
  mode_t mode = 0;
  const bool known = identify(fd, unit.key, mode);
  if (known) unit.layers = detail::find_layer_files(fd, unit.buffers->read_block.storage);
  return ::close(fd) == 0 && known;
}

// Two units on one file would read back what the other wrote, or overwrite the
// file being read: the second connection is refused before anything is read or
// written, however the two names reach the file: the very file, or the file
// in an overlay's layer that the other's name stands for.
void unit_table::refuse_second_connection(const statement_params& params,
                                          const detail::unit& unit) {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    const detail::unit& other = *slot(i);
    if (!in_use_[i] || &other == &unit) continue;
    if (unit.key == other.key || unit.layers.contains(other.key) ||
        other.layers.contains(unit.key) || unit.layers.shares_any(other.layers)) {
      raise_open_error(params, unit.file_name.view(), 0, &other);
    }
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

void unit_table::raise_dangling_link(const statement_params& params, std::string_view file_name,
                                     std::string_view target) {
  fatal_error error = open_error(params, file_name, 0);
  error.detail = "it is a symbolic link to \"";
  append_printable(error.detail, target);
  error.detail.append("\", which does not exist");
  raise(error);
}

// A file to write that is the process's standard output or error, under any
// name (/dev/stdout, /proc/self/fd/1), and open there for writing: reopened by
// name it would lose the mode the shell gave it, and `eigpick >> all` would
// overwrite `all`. The inherited descriptor is written instead, where it
// stands. A standard stream that only reads the file has no say in it.
void unit_table::take_standard_stream(detail::unit& unit) {
  for (const int standard : {STDOUT_FILENO, STDERR_FILENO}) {
    detail::file_key stream;
    mode_t mode = 0;
    if (!identify(standard, stream, mode) || stream != unit.key) continue;
    const int access = ::fcntl(standard, F_GETFL);
    if (access < 0 || (access & O_ACCMODE) == O_RDONLY) continue;
    // The unit's descriptor becomes a copy of the standard one in place; where
    // that fails, its own descriptor still writes the file.
    unit.inherited = ::dup3(standard, unit.fd, O_CLOEXEC) == unit.fd;
    return;
  }
}

detail::unit* unit_table::find(std::int32_t number) {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (connected(i) && slot(i)->number == number) return slot(i);
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
  unlock(unit);
  if (unit.fd < 0 || ::close(unit.fd) == 0) return 0;
  return errno;
}

// Before the first read statement: the records written so far go to their
// files, and each file to read that no statement has read yet is taken as it
// stands now, to be compared when the run no longer depends on it.
void unit_table::prepare_to_read() {
  attention_needed_ = false;
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (!connected(i)) continue;
    detail::unit& unit = *slot(i);
    if (!unit.output.hand_to_file()) fail_write(unit.number);
    if (!unit.for_writing && unit.regular_file && !unit.state_taken) {
      struct stat status {};
      unit.state_taken = ::fstat(unit.fd, &status) == 0;
      unit.first_read = detail::file_state::of(status);
    }
  }
}

// The first write statement on a unit will replace its file's contents: before
// it begins, every file the run has read must still be as it was, or the run
// fails with the old contents whole.
void unit_table::prepare_to_write(detail::unit& written) {
  written.written = true;
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (connected(i) && slot(i) != &written) check_unchanged(*slot(i));
  }
}

// A file that was read must be as it was when it was first read: what the run
// took from it may otherwise mix two versions of it.
void unit_table::check_unchanged(const detail::unit& unit) {
  if (!unit.state_taken) return;
  struct stat status {};
  if (::fstat(unit.fd, &status) == 0 &&
      !unit.first_read.same_contents(detail::file_state::of(status))) {
    raise_unit_error(unit, condition::changed_while_read, unit.statement_line, 0);
  }
}

void unit_table::fail_write(std::int32_t unit) {
  const detail::unit& refused = *find(unit);
  const detail::write_refusal& refusal = refused.output.refusal();
  fatal_error error = unit_error(refused, condition::cannot_write, refusal.statement_line);
  error.detail = refusal.error_number != 0 ? system_reason(refusal.error_number)
                                           : reason_text("the system accepted no bytes");
  if (refusal.cut_back_error_number != 0) {
    error.detail.append(" (cutting the file back to its last whole record failed: ");
    error.detail.append(system_reason(refusal.cut_back_error_number).view());
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
    // Read to its end only once every file to write is closed.
    unit.awaiting_drain = true;
    if (last_used_ == &unit) last_used_ = nullptr;
    return;
  }
  if (!unit.for_writing && unit.regular_file) check_unchanged(unit);
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
    if (connected(i) && slot(i)->number == unit) close_unit(i);
  }
}

void unit_table::raise(fatal_error error) {
  abandon_all(&error);
  throw error;
}

int unit_table::abandon_all(fatal_error* failure) {
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
  // Peers are read to their end last; after a failure, once it is reported.
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (!in_use_[i]) continue;
    if (failure == nullptr) {
      detail::read_to_end(slot(i)->fd, slot(i)->buffers->read_block.storage);
      keep_failure(release(i));
      continue;
    }
    if (!failure->peers) failure->peers = std::make_shared<unread_peers>();
    failure->peers->add(slot(i)->fd);
    slot(i)->fd = -1;
    keep_failure(release(i));
  }
  return first_failure;
}

void unit_table::stop_string() {
  for (std::size_t i = 0; i < detail::max_units; ++i) {
    if (connected(i)) close_unit(i);
  }
  // Every file to write is closed: peers may now take their time.
  abandon_all(nullptr);
}

}  // namespace records
