#pragma once

#include <limits.h>
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "records/bounded_text.hpp"
#include "records/record_reader.hpp"

namespace records {

// A file name as open(2) takes it: NUL-terminated, at most PATH_MAX bytes with the NUL.
class path_name {
 public:
  // False when the name does not fit.
  bool assign(std::string_view name);
  const char* c_str() const { return bytes_.data(); }
  std::string_view view() const { return {bytes_.data(), size_}; }

 private:
  std::array<char, PATH_MAX> bytes_{};
  std::size_t size_ = 0;
};

// Bytes of ended records that a unit gathers before handing them to its file.
inline constexpr std::size_t output_capacity = 8192;

// One connected unit: the file, the record being read or built, and the column.
struct unit_entry {
  std::int32_t number = 0;
  path_name file_name;
  bounded_text<32> source;  // of the statement that connected it, for reports
  int fd = -1;
  // Why the read-write open failed when the file was opened for one direction only;
  // 0 when it was opened for both. A refused read or write is reported with it.
  int read_write_errno = 0;
  bool can_read = true;
  bool can_write = true;
  bool regular_file = true;
  // A file that is not a regular file (a FIFO, a terminal, a device) is opened at
  // its first use, for that direction only: a FIFO opened for both would be its own
  // writer, and its reader would never see the end of it.
  bool opens_on_first_use = false;
  // The file's identity: no two units are connected to one file.
  dev_t device = 0;
  ino_t inode = 0;

  std::int64_t column = 1;  // 1-based position in the current record

  std::int64_t record_length = 0;  // columns placed in the record under construction
  std::size_t output_size = 0;     // bytes of `output` not yet handed to the file
  off_t complete_bytes = 0;        // file length after the last statement that completed
  off_t statement_bytes = 0;       // bytes the statement in progress has produced
  bool written = false;            // a write statement has ended since the unit was connected

  record_reader reader;
  std::array<char, output_capacity> output{};
};

struct close_failure {
  std::int32_t unit = 0;
  bounded_text<256> file_name;
  bounded_text<32> source;
  int error_number = 0;
};

// The most units connected at once; the run connects two.
inline constexpr std::size_t max_units = 4;

// The connected units, keyed by unit number. Fixed in size: connecting allocates
// nothing.
class unit_table {
 public:
  unit_entry* find(std::int32_t number);
  // An entry for `number`: its own when connected (closed first), otherwise a free
  // one; nullptr when every entry is taken by another unit.
  unit_entry* prepare(std::int32_t number);
  // The connected unit other than `self` whose file has this identity, if any.
  const unit_entry* holding(const unit_entry& self, dev_t device, ino_t inode) const;
  // Closes every unit; the entries are free either way. Reports the first close
  // that the system refused.
  std::optional<close_failure> close_all();

 private:
  std::array<unit_entry, max_units> units_{};
  std::array<bool, max_units> in_use_{};
};

// The process's one unit table: statements name units by number only.
unit_table& connected_units();

}  // namespace records
