#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "library/library.hpp"

namespace eigpick {
namespace library {
namespace {

// The job directory, open for naming files from it only; the working
// directory is named as it stands, taking no descriptor.
class open_directory {
 public:
  explicit open_directory(const char* path) {
    if (path[0] == '\0' || std::strcmp(path, ".") == 0) return;
    do {
      fd_ = ::open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) raise(path, errno);
  }
  open_directory(const open_directory&) = delete;
  open_directory& operator=(const open_directory&) = delete;
  // A descriptor that only names a directory has nothing to lose at its close.
  ~open_directory() {
    if (fd_ != AT_FDCWD) static_cast<void>(::close(fd_));
  }

  int fd() const { return fd_; }

 private:
  [[noreturn]] static void raise(const char* path, int error_number) {
    auto made = std::make_shared<error::parts>();
    made->what_happened = error::condition::no_directory;
    made->file = path;
    made->cause = "cannot open the job directory: ";
    made->cause += records::system_reason(error_number).view();
    records::report_line line("eigpick: ");
    records::append_printable(line, path);
    line.append(": ");
    line.append(made->cause);
    made->report = line.view();
    throw error(std::move(made));
  }

  int fd_ = AT_FDCWD;
};

}  // namespace

extract::outcome run_in(int directory, extract::run_memory& memory) {
  records::unit_table units(memory.units, directory);
  return extract::run_extraction(units, memory.table);
}

}  // namespace library

outcome convert(const std::filesystem::path& job_directory) {
  const library::open_directory directory(job_directory.c_str());
  // Default-initialised: only the pages the run fills are touched.
  const std::unique_ptr<extract::run_memory> memory(
      new extract::run_memory);  // NOLINT(cppcoreguidelines-owning-memory)
  try {
    return library::run_in(directory.fd(), *memory) == extract::outcome::converted
               ? outcome::converted
               : outcome::not_found;
  } catch (const records::fatal_error& failure) {
    throw library::error_of(failure, job_directory / std::string(failure.file_name.view()));
  }
}

}  // namespace eigpick
