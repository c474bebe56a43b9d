#pragma once

// eigpick as a library: the conversion of a job directory, and the ten
// eigenvectors of a listing or of a vector file as a value.
//
// Every call owns the files and memory it uses and keeps no state between
// calls: calls on different directories or files may run in parallel threads.
// A call never changes the working directory, never ends the process, and
// never lets SIGPIPE or SIGXFSZ reach the process (a write they would stop is
// an eigpick::error). Its descriptors close on exec, and a lock it takes is
// released before its descriptor is closed, so that a process forked meanwhile
// does not keep it.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace eigpick {

// The vectors a conversion takes: four of the first block, six of the second.
inline constexpr std::size_t vector_count = 10;

// What a conversion did: wrote the ten vectors to fort.50, or wrote the single
// record "Eigenvectors are not found" for a listing whose first 500 records
// hold no marker.
enum class outcome { converted, not_found };

// The ten vectors of a listing as fort.50 holds them: rows in the order the
// vector file writes them (every p shell Py, Pz, Px), vector after vector.
struct vector_set {
  std::int32_t row_count = 0;  // N
  // Of each of the N rows of the first block: its four-character orbital and
  // second labels and its index field. A vector file holds none of them.
  std::vector<std::string> orbital_labels;
  std::vector<std::string> second_labels;
  std::vector<std::int32_t> index_fields;
  std::array<std::int32_t, vector_count> roots{};
  std::array<float, vector_count> eigenvalues{};
  // vector_count x row_count values, vector after vector.
  std::vector<float> coefficients;

  // The N coefficients of vector k, 0 <= k < vector_count.
  std::span<const float> coefficients_of(std::size_t k) const {
    return std::span(coefficients)
        .subspan(k * static_cast<std::size_t>(row_count), static_cast<std::size_t>(row_count));
  }
  friend bool operator==(const vector_set&, const vector_set&) = default;
};

// A failure: what() is the one line the program prints for it
// ("eigpick: hdat.out (unit 4), statement line 25, record 57, columns 44-51:
// bad real field ..."); the accessors give its parts.
class error : public std::runtime_error {
 public:
  enum class condition {
    cannot_open,         // a file can be neither opened nor created, or is another unit's file
    cannot_read,         // the system refused to read a file
    end_of_file,         // a file ended before the run had all it needs
    bad_integer,         // an integer field that holds no signed 32-bit integer
    bad_real,            // a real field that holds no number
    cannot_write,        // the system refused to take records
    cannot_close,        // the system refused to close a file
    changed_while_read,  // a file that was read was rewritten meanwhile
    no_directory,        // the job directory cannot be opened
  };

  struct parts;  // what the accessors give, made by the library
  explicit error(std::shared_ptr<const parts> made);

  condition what_happened() const noexcept;
  // The file as the caller can open it: the job directory's hdat.out or
  // fort.50, or the path a reader was given.
  const std::filesystem::path& file() const noexcept;
  int unit() const noexcept;                     // 4 the listing, 7 the vector file
  std::int32_t statement_line() const noexcept;  // 0 where no statement applies
  std::int64_t record() const noexcept;          // 0 where no record applies
  std::pair<std::int64_t, std::int64_t> columns() const noexcept;  // {0, 0}: no field
  const std::string& field() const noexcept;                       // the field's bytes as read
  const std::string& cause() const noexcept;  // the report's words after the place

 private:
  std::shared_ptr<const parts> parts_;
};

// Converts the job directory as the program does in its working directory:
// the same fort.50, the same refusals and reports, the same lock. A failure
// throws eigpick::error.
outcome convert(const std::filesystem::path& job_directory);

// The ten vectors of a listing of any name and place, as a conversion would
// write them; nothing is written. Empty when no record among the listing's
// first 500 holds the marker, also when it ends before it has 500 records (a
// conversion then fails). A failure throws eigpick::error.
std::optional<vector_set> read_listing(const std::filesystem::path& listing);

// A vector file read back: what later programs see in it. Empty when it holds
// the single record "Eigenvectors are not found". A failure throws
// eigpick::error.
std::optional<vector_set> read_vector_file(const std::filesystem::path& vector_file);

}  // namespace eigpick
