#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <exception>
#include <string_view>

#include "extract/run.hpp"
#include "records/fatal_error.hpp"

namespace {

// The line and its newline go out in one write(2), so the reports of runs that
// share a terminal or a log never interleave.
void report(records::report_line line) {
  // A line that fills its buffer gives its last byte up to the newline.
  if (line.view().size() == line.capacity()) line.pop_back();
  line.push_back('\n');
  std::string_view text = line.view();
  while (!text.empty()) {
    const ssize_t count = ::write(STDERR_FILENO, text.data(), text.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;  // nowhere left to say it; the exit status still does
    text.remove_prefix(static_cast<std::size_t>(count));
  }
}

// Whatever escaped the run, its units were closed as it unwound, as after any
// fatal error.
void report_unexpected(std::string_view what) {
  records::report_line line(std::string_view("eigpick: unexpected failure: "));
  records::detail::append_printable(line, what);
  report(line);
}

// A standard descriptor closed at start would be the first one a file of the run
// takes: the listing would become standard error and receive a report. Each one
// is opened on /dev/null instead, lowest first, so each open lands on its number.
bool secure_standard_descriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (::open("/dev/null", O_RDWR) != fd) return false;
  }
  return true;
}

}  // namespace

// Arguments and environment are ignored: the run's files, units and formats are fixed.
int main() {
  if (!secure_standard_descriptors()) {
    report(records::report_line(std::string_view(
        "eigpick: cannot open /dev/null in place of a closed standard descriptor")));
    return 1;
  }
  // A file size limit or a reader that went away then refuses the write, which is
  // reported, instead of killing the process in the middle of a record.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    extract::run_extraction();
    return 0;
  } catch (const records::fatal_error& error) {
    report(records::fatal_report(error));
  } catch (const std::exception& error) {
    report_unexpected(error.what());
  } catch (...) {
    report_unexpected("unknown exception");
  }
  return 1;
}
