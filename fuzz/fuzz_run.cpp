// The whole run, in-process, on arbitrary bytes as hdat.out beside an existing
// fort.50. A run ends normally or with a fatal error whose report is one line of
// printable ASCII; it never crashes, leaks memory or file descriptors, or hangs
// (reading stops at the end of block B, some 900 records in at most). What it
// leaves in fort.50 is one of four things, and which one follows from how it ended:
// the old file untouched (a failure before the first write), the count and block
// A's four sections (a failure in block B), the complete ten-section file, or the
// not-found record (both after a normal end). A partial record is never there.
//
// The run works in the current directory, so each input is run inside a private
// directory made once; the fuzzer's own directory is restored right after, so that
// corpus paths given relative to it keep working. Crash files are written by a
// signal handler wherever the run was, so pass -artifact_prefix as an absolute path.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/run.hpp"
#include "extract/statements.hpp"
#include "records/fatal_error.hpp"

namespace {

using records::condition;
using records::fatal_error;

[[noreturn]] void fail(std::string_view what) {
  std::fprintf(stderr, "fuzz_run: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

// A view, so that a check that holds costs no allocation for its message.
void require(bool holds, std::string_view what) {
  if (!holds) fail(what);
}

// An earlier run's file that no run of this listing could have written.
constexpr std::string_view old_vectors = "left by an earlier run\n  -12\n\n";
constexpr std::string_view not_found_file = "Eigenvectors are not found\n";

struct places {
  int home = -1;     // the fuzzer's working directory
  int scratch = -1;  // where every run happens
  std::string scratch_path;
};

places& where() {
  static places p;
  return p;
}

void remove_scratch() {
  const places& p = where();
  if (p.scratch < 0) return;
  ::unlinkat(p.scratch, "hdat.out", 0);
  ::unlinkat(p.scratch, "fort.50", 0);
  ::rmdir(p.scratch_path.c_str());
}

void write_whole(const char* name, std::string_view bytes) {
  const int fd = ::openat(where().scratch, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  require(fd >= 0, std::string("cannot create ") + name);
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    require(count > 0, std::string("cannot write ") + name);
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  ::close(fd);
}

std::string read_whole(const char* name) {
  const int fd = ::openat(where().scratch, name, O_RDONLY | O_CLOEXEC);
  require(fd >= 0, std::string("cannot open ") + name);
  std::string bytes;
  char block[65536];
  ssize_t count;
  while ((count = ::read(fd, block, sizeof block)) > 0)
    bytes.append(block, static_cast<std::size_t>(count));
  require(count == 0, std::string("cannot read ") + name);
  ::close(fd);
  return bytes;
}

// The lowest free descriptor: if the run left one open, it moves up.
int lowest_free_descriptor() {
  const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  require(fd >= 0, "cannot open /dev/null");
  ::close(fd);
  return fd;
}

// The listing's records as the run sees them: LF ends one, a CR before it is not
// part of it, a last line without LF still counts.
std::vector<std::string_view> listing_records(std::string_view bytes) {
  std::vector<std::string_view> records;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    records.push_back(line);
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return records;
}

// Columns first to last (1-based) of a record taken as padded with blanks.
std::string columns(std::string_view record, std::int64_t first, std::int64_t last) {
  std::string text;
  for (std::int64_t column = first; column <= last; ++column) {
    const auto at = static_cast<std::size_t>(column - 1);
    text += at < record.size() ? record[at] : ' ';
  }
  return text;
}

// ---- The shape of the vector file -------------------------------------------------

bool all_asterisks(std::string_view field) {
  return !field.empty() && field.find_first_not_of('*') == std::string_view::npos;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Blanks, then an optional "-", then digits without leading zeros.
bool is_integer_field(std::string_view field) {
  if (all_asterisks(field)) return true;
  const std::size_t start = field.find_first_not_of(' ');
  if (start == std::string_view::npos) return false;
  std::string_view text = field.substr(start);
  if (text.starts_with('-')) text.remove_prefix(1);
  const bool negative = field[start] == '-';
  if (text.empty() || (text.size() > 1 && text[0] == '0') || (text == "0" && negative))
    return false;
  for (const char c : text) {
    if (!is_digit(c)) return false;
  }
  return true;
}

// F10.5: blanks, an optional "-", integer digits without leading zeros, ".", five digits.
bool is_real_field(std::string_view field) {
  if (field.size() != 10) return false;
  if (all_asterisks(field)) return true;
  const std::size_t start = field.find_first_not_of(' ');
  if (start == std::string_view::npos) return false;
  std::string_view text = field.substr(start);
  if (text.starts_with('-')) text.remove_prefix(1);
  const std::size_t point = text.find('.');
  if (point == 0 || point == std::string_view::npos || text.size() - point != 6) return false;
  if (point > 1 && text[0] == '0') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != point && !is_digit(text[i])) return false;
  }
  return true;
}

std::vector<std::string_view> complete_records(std::string_view file) {
  require(file.empty() || file.back() == '\n', "fort.50 ends inside a record");
  std::vector<std::string_view> records;
  while (!file.empty()) {
    const std::size_t end = file.find('\n');
    records.push_back(file.substr(0, end));
    file.remove_prefix(end + 1);
  }
  for (const auto record : records) {
    for (const char c : record) {
      const auto byte = static_cast<unsigned char>(c);
      require(byte >= 0x20 && byte < 0x7F, "fort.50 holds a byte that no field writes");
    }
  }
  return records;
}

// The count record and `sections` sections of N rows each, nothing more.
void check_sections(const std::vector<std::string_view>& records, int sections) {
  require(!records.empty() && records[0].size() == 5 && is_integer_field(records[0]) &&
              !all_asterisks(records[0]),
          "the first record is no count of rows");
  const int rows = std::atoi(std::string(records[0]).c_str());
  require(rows >= 0 && rows <= 200, "a count of rows outside 0-200");
  std::size_t at = 1;
  auto next = [&]() -> std::string_view {
    require(at < records.size(), "fort.50 ends inside a section");
    return records[at++];
  };
  for (int section = 1; section <= sections; ++section) {
    require(next().empty() && next().empty(), "a section does not start with two empty records");
    const std::string_view header = next();
    const std::string_view mark = section == 5 ? "  1" : "";
    require(header.size() == 25 + mark.size() && header.starts_with("    E (") &&
                is_integer_field(header.substr(7, 3)) && header.substr(10, 5) == " ) = " &&
                is_real_field(header.substr(15, 10)) && header.substr(25) == mark,
            "a malformed section header");
    int left = rows;
    do {
      const int on_record = std::min(left, 12);
      const std::string_view record = next();
      require(record.size() == static_cast<std::size_t>(10 * on_record),
              "a coefficient record of the wrong length");
      for (int field = 0; field < on_record; ++field) {
        require(is_real_field(record.substr(static_cast<std::size_t>(10 * field), 10)),
                "a malformed coefficient field");
      }
      left -= on_record;
    } while (left > 0);
  }
  require(at == records.size(), "records after the last section");
}

// ---- One run ------------------------------------------------------------------------

namespace line = extract::line;

void check_report(const fatal_error& error, const std::vector<std::string_view>& listing) {
  const std::string report(records::fatal_report(error).view());
  require(!report.empty(), "an empty report");
  for (const char c : report) {
    const auto byte = static_cast<unsigned char>(c);
    require(byte >= 0x20 && byte < 0x7F, "the report is not one line of printable ASCII");
  }
  // Only the listing's contents can go wrong: both files open and take every write.
  require(error.unit == 4 && error.file_name.view() == "hdat.out", "a failure outside the listing");
  const int failed_line = error.statement_line;
  require(failed_line == line::marker_search || failed_line == line::block_a_title ||
              failed_line == line::block_a_roots || failed_line == line::block_a_symmetry ||
              failed_line == line::block_a_eigenvalues || failed_line == line::block_a_heading ||
              failed_line == line::block_a_row || failed_line == line::block_b_roots ||
              failed_line == line::block_b_symmetry || failed_line == line::block_b_eigenvalues ||
              failed_line == line::block_b_heading || failed_line == line::block_b_row,
          "a failure at no statement of the run");
  switch (error.what_happened) {
    case condition::end_of_file:
      require(error.record == static_cast<std::int64_t>(listing.size()),
              "end of file reported before the last record");
      break;
    case condition::bad_integer:
    case condition::bad_real: {
      require(error.record >= 1 && error.record <= static_cast<std::int64_t>(listing.size()) &&
                  error.first_column >= 1 && error.last_column >= error.first_column &&
                  error.last_column <= 75,
              "a bad field outside the listing's fields");
      const auto record = listing[static_cast<std::size_t>(error.record - 1)];
      require(error.field_text.view() == columns(record, error.first_column, error.last_column),
              "the reported field is not what the listing holds there");
      break;
    }
    default:
      fail("a failure that the listing cannot cause: " + report);
  }
}

// The record number of the marker among the first 500, or 0.
std::size_t marker_record(const std::vector<std::string_view>& listing) {
  for (std::size_t i = 0; i < listing.size() && i < 500; ++i) {
    if (columns(listing[i], 17, 20) == "EIGE") return i + 1;
  }
  return 0;
}

class in_scratch_directory {
 public:
  in_scratch_directory() { require(::fchdir(where().scratch) == 0, "cannot enter the scratch"); }
  ~in_scratch_directory() {
    if (::fchdir(where().home) != 0) std::abort();
  }
  in_scratch_directory(const in_scratch_directory&) = delete;
  in_scratch_directory& operator=(const in_scratch_directory&) = delete;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  bool absolute_artifacts = false;
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp((*argv)[i], "-artifact_prefix=/", 18) == 0) absolute_artifacts = true;
  }
  if (!absolute_artifacts) {
    std::fputs(
        "fuzz_run: without -artifact_prefix=/absolute/path/, a crash file may land in "
        "the scratch directory and be lost\n",
        stderr);
  }
  places& p = where();
  // Every input writes two files: memory-backed /dev/shm runs several times faster
  // than a disk file system.
  const char* tmp = std::getenv("TMPDIR");
  std::string parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  if (tmp == nullptr && ::access("/dev/shm", W_OK | X_OK) == 0) parent = "/dev/shm";
  std::string pattern = parent + "/eigpick-fuzz-run-XXXXXX";
  require(::mkdtemp(pattern.data()) != nullptr, "cannot make a scratch directory");
  p.scratch_path = pattern;
  p.scratch = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  p.home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  require(p.scratch >= 0 && p.home >= 0, "cannot open the directories");
  std::atexit(remove_scratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view listing_bytes(reinterpret_cast<const char*>(data), size);
  write_whole("hdat.out", listing_bytes);
  write_whole("fort.50", old_vectors);

  const int free_before = lowest_free_descriptor();
  std::optional<fatal_error> failure;
  {
    const in_scratch_directory inside;
    try {
      extract::run_extraction();
    } catch (const fatal_error& error) {
      failure = error;
    }
  }
  // The run's units are its own: they are closed once it is over, however it ended.
  require(lowest_free_descriptor() == free_before, "the run left a file descriptor open");

  const std::vector<std::string_view> listing = listing_records(listing_bytes);
  if (failure) check_report(*failure, listing);

  const std::size_t marker = marker_record(listing);
  if (marker == 0) {
    // No marker in the first 500 records: not found if there are 500, else the
    // search meets the end of the file.
    if (listing.size() >= 500) {
      require(!failure, "a listing of 500 records without the marker failed");
    } else {
      require(failure && failure->statement_line == line::marker_search &&
                  failure->what_happened == condition::end_of_file,
              "a short listing without the marker did not fail in the search");
    }
  } else {
    require(!failure || failure->statement_line != line::marker_search,
            "the search missed the marker");
  }

  const std::string vectors = read_whole("fort.50");
  if (failure) {
    if (failure->statement_line <= line::block_a_row) {
      require(vectors == old_vectors, "a failure before the first write changed fort.50");
    } else {
      require(failure->statement_line >= line::block_b_roots, "a failure between the blocks");
      check_sections(complete_records(vectors), 4);
    }
  } else if (marker == 0) {
    require(vectors == not_found_file, "no marker, but not the not-found file");
  } else {
    check_sections(complete_records(vectors), 10);
  }
  return 0;
}
