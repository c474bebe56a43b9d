#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>

#include "library/library.hpp"
#include "records/fatal_error.hpp"

namespace {

// Hands all of `text` to the descriptor; returns 0, or why the system refused it.
int write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t count = ::write(fd, text.data(), text.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return errno;
    if (count == 0) return EIO;
    text.remove_prefix(static_cast<std::size_t>(count));
  }
  return 0;
}

// The line and its newline go out in one write(2), so the reports of runs that
// share a terminal or a log never interleave. Every report is made out of line:
// its room is taken on the stack only when there is something to report.
[[gnu::noinline, gnu::cold]] void report(records::report_line line) {
  // A line that fills its buffer gives its last byte up to the newline.
  if (line.view().size() == line.capacity()) line.pop_back();
  line.push_back('\n');
  // Nowhere left to say it if this fails; the exit status still does.
  write_all(STDERR_FILENO, line.view());
}

[[gnu::noinline, gnu::cold]] void report_fatal(const records::fatal_error& error) {
  report(records::fatal_report(error));
}

// Whatever escaped the run, its units were closed as it unwound, as after any
// fatal error.
[[gnu::noinline, gnu::cold]] void report_unexpected(std::string_view what) {
  records::report_line line(std::string_view("eigpick: unexpected failure: "));
  records::append_printable(line, what);
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

constexpr std::string_view usage_text =
    "Usage: eigpick\n"
    "Run in a job directory: reads the eigenvector listing hdat.out there and\n"
    "writes ten of its eigenvectors, each p shell in the order Py, Pz, Px\n"
    "(m = -1, 0, +1), with their root numbers and eigenvalues to the vector\n"
    "file fort.50.\n"
    "Prints nothing and exits 0 when fort.50 holds the ten vectors, and also\n"
    "when hdat.out has 500 records or more and none of the first 500 has EIGE\n"
    "in columns 17-20: fort.50 then holds the single record\n"
    "\"Eigenvectors are not found\". Otherwise prints one line on standard\n"
    "error and exits 1.\n"
    "\n"
    "  eigpick -h, --help  print this text and exit\n"
    "  eigpick --version   print the version and exit\n"
    "\n"
    "Each must be the only argument and opens no file; any other arguments\n"
    "are ignored and the run goes ahead.\n"
    "Manual: man eigpick\n";

constexpr std::string_view version_text = "eigpick " EIGPICK_VERSION "\n";

// Exactly "-h", "--help" or "--version" alone answers without touching a file:
// asking for help, as most users first do with -h, must never create or rewrite
// a job's files. Any other argument list is ignored and the run goes ahead, as
// it always has.
std::string_view answer_for(int argc, char** argv) {
  if (argc != 2) return {};
  const std::string_view argument = argv[1];
  if (argument == "-h" || argument == "--help") return usage_text;
  if (argument == "--version") return version_text;
  return {};
}

[[gnu::noinline, gnu::cold]] void report_plain(std::string_view text, std::string_view reason) {
  records::report_line line(text);
  line.append(reason);
  report(line);
}

int print_answer(std::string_view text) {
  if (const int error_number = write_all(STDOUT_FILENO, text); error_number != 0) {
    report_plain("eigpick: cannot write to standard output: ", std::strerror(error_number));
    return 1;
  }
  return 0;
}

// The run's memory, in static storage: a run of any stack size has room for
// it, and only the pages the run fills are touched. It goes in the section
// of large zeroed data, which the linker places after all other: the C
// library's own zeroed variables then share the few pages next to its data
// instead of lying on both sides of it, one page each.
#if defined(__clang__)
#pragma clang section bss = ".lbss.eigpick"
extract::run_memory run_memory;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)
#pragma clang section bss = ""
#else
[[gnu::section(".lbss.eigpick")]] extract::run_memory
    run_memory;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)
#endif

// The run in the working directory; a failure is reported (and a peer that
// still writes the listing is read to its end only after that). Returns the
// exit status.
int run_and_report() {
  try {
    eigpick::library::run_in(AT_FDCWD, run_memory);
    return 0;
  } catch (const records::fatal_error& error) {
    report_fatal(error);
  } catch (const std::exception& error) {
    report_unexpected(error.what());
  } catch (...) {
    report_unexpected("unknown exception");
  }
  return 1;
}

#if defined(__SANITIZE_ADDRESS__)
#define EIGPICK_LEAK_CHECK_AT_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define EIGPICK_LEAK_CHECK_AT_EXIT 1
#endif
#endif

// By now the run has closed its files, and everything it says goes out through
// write(2): the C and C++ exit handlers have nothing left to flush, and ending at
// once spares the pages of code only they would touch. A sanitized build ends
// the usual way, so that its leak check runs.
[[noreturn]] void end_process(int status) {
#ifdef EIGPICK_LEAK_CHECK_AT_EXIT
  std::exit(status);
#else
  ::_exit(status);
#endif
}

}  // namespace

#ifdef EIGPICK_UNWIND_TABLES_FROM_HEADER
// The static program's unwind tables are found through the sorted search table
// the linker writes, so the start-up code's registration of them, which would
// make the first exception sort every entry, is linked to these instead.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" void __wrap___register_frame_info(const void* /*begin*/, void* /*object*/) {}
extern "C" void* __wrap___deregister_frame_info(const void* /*begin*/) {
  return nullptr;
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
#endif

// The environment is ignored: the run's files, units and formats are fixed.
int main(int argc, char** argv) {
  if (const std::string_view answer = answer_for(argc, argv); !answer.empty()) {
    // Written to a reader that went away, the answer is refused and reported.
    std::signal(SIGPIPE, SIG_IGN);
    return print_answer(answer);
  }
  if (!secure_standard_descriptors()) {
    report_plain("eigpick: cannot open /dev/null in place of a closed standard descriptor", {});
    return 1;
  }
  // A file size limit or a reader that went away then refuses the write, which is
  // reported, instead of killing the process in the middle of a record.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  end_process(run_and_report());
}
