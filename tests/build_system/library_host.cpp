// A program that holds the library as any host would, with the signals at
// their defaults, and reports what each call gave it on standard output:
//
//   library_host threads DIRECTORY...   converts each directory in a thread of its own, all at once
//   library_host convert DIRECTORY      one conversion
//   library_host reader-leaves DIRECTORY LISTING
//       hdat.out and fort.50 are FIFOs: fort.50's reader opens and leaves, then
//       LISTING is written to hdat.out
//   library_host fork DIRECTORY LISTING
//       hdat.out is a FIFO: a child is forked while the run holds fort.50's
//       lock, then LISTING is written; says whether the lock outlives the run
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <eigpick/eigpick.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string convert_and_tell(const std::filesystem::path& directory) {
  try {
    return eigpick::convert(directory) == eigpick::outcome::converted ? "converted" : "not-found";
  } catch (const eigpick::error& failure) {
    return std::string("error: ") + failure.what();
  }
}

int open_retrying(const std::filesystem::path& path, int flags) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens hdat.out, a FIFO, as its writer (waiting for the run to open it),
// runs `meanwhile` with the FIFO's descriptor, then writes the listing and
// closes it.
template <typename Meanwhile>
bool feed_listing(const std::filesystem::path& directory, const std::filesystem::path& listing,
                  Meanwhile meanwhile) {
  const int fifo = open_retrying(directory / "hdat.out", O_WRONLY);
  if (fifo < 0) return false;
  meanwhile(fifo);
  std::ifstream in(listing, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const bool written =
      ::write(fifo, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  return ::close(fifo) == 0 && written;
}

// Whether another open file description of fort.50 holds a lock on it.
bool locked(const std::filesystem::path& fort50) {
  const int fd = open_retrying(fort50, O_RDONLY);
  struct flock probe {};
  probe.l_type = F_RDLCK;
  probe.l_whence = SEEK_SET;
  const bool held = fd >= 0 && ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  if (fd >= 0) ::close(fd);
  return held;
}

int threads(const std::vector<std::filesystem::path>& directories) {
  std::vector<std::string> results(directories.size());
  std::vector<std::thread> workers;
  for (std::size_t k = 0; k < directories.size(); ++k) {
    workers.emplace_back([&, k] { results[k] = convert_and_tell(directories[k]); });
  }
  for (auto& worker : workers)
    worker.join();
  for (std::size_t k = 0; k < directories.size(); ++k) {
    std::printf("%s: %s\n", directories[k].c_str(), results[k].c_str());
  }
  return 0;
}

int reader_leaves(const std::filesystem::path& directory, const std::filesystem::path& listing) {
  std::string result;
  std::thread run([&] { result = convert_and_tell(directory); });
  std::thread reader([&] {
    const int fd = open_retrying(directory / "fort.50", O_RDONLY);
    if (fd >= 0) ::close(fd);
  });
  const bool fed = feed_listing(directory, listing, [&](int /*fifo*/) { reader.join(); });
  run.join();
  std::printf("%s%s\n", fed ? "" : "(listing not fed) ", result.c_str());
  return 0;
}

int fork_during_run(const std::filesystem::path& directory, const std::filesystem::path& listing) {
  std::string result;
  pid_t child = -1;
  std::thread run([&] { result = convert_and_tell(directory); });
  feed_listing(directory, listing, [&](int fifo) {
    for (int tries = 0; tries < 500 && !locked(directory / "fort.50"); ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    child = ::fork();
    if (child == 0) {
      // The child keeps every descriptor of the run, but not the listing's
      // writing end, whose close ends the listing.
      ::close(fifo);
      ::pause();
      ::_exit(0);
    }
  });
  run.join();
  std::printf("%s; after the run the lock is %s\n", result.c_str(),
              locked(directory / "fort.50") ? "held" : "free");
  if (child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() >= 2 && arguments[0] == "threads") {
    return threads({arguments.begin() + 1, arguments.end()});
  }
  if (arguments.size() == 2 && arguments[0] == "convert") {
    std::printf("%s\n", convert_and_tell(arguments[1]).c_str());
    return 0;
  }
  if (arguments.size() == 3 && arguments[0] == "reader-leaves") {
    return reader_leaves(arguments[1], arguments[2]);
  }
  if (arguments.size() == 3 && arguments[0] == "fork") {
    return fork_during_run(arguments[1], arguments[2]);
  }
  std::fprintf(stderr, "usage: library_host threads|convert|reader-leaves|fork ...\n");
  return 2;
}
