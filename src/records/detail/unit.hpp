#pragma once

#include <limits.h>
#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "records/detail/bounded_text.hpp"
#include "records/detail/format_parser.hpp"
#include "records/detail/record_reader.hpp"

namespace records::detail {

// A file name as open(2) takes it, NUL-terminated. A short name is held in
// place; a longer one, up to PATH_MAX bytes with the NUL, in storage its owner
// gives, so that the owner's small state stays together.
class path_name {
 public:
  path_name() = default;
  path_name(const path_name&) = delete;  // it may point into itself
  path_name& operator=(const path_name&) = delete;

  // False when the name does not fit.
  bool assign(std::string_view name, std::span<char> long_storage) {
    char* target = short_.data();
    if (name.size() >= short_.size()) {
      if (name.size() >= long_storage.size()) return false;
      target = long_storage.data();
    }
    name.copy(target, name.size());
    target[name.size()] = '\0';
    data_ = target;
    size_ = name.size();
    return true;
  }
  const char* c_str() const { return data_; }
  std::string_view view() const { return {data_, size_}; }

 private:
  const char* data_ = "";
  std::size_t size_ = 0;
  std::array<char, 64> short_{};
};

// Bytes of records that a unit gathers before handing them to its file.
inline constexpr std::size_t output_capacity = 8192;

// The most units connected at once; the run connects two.
inline constexpr std::size_t max_units = 4;

// The buffers of one unit, in pages of their own: never initialised, and touched
// only where they are filled. The output buffer starts a page, and the read block
// is page-aligned after the long name, so a unit that is only written touches the
// pages of its statements' records and a unit that is only read those of its
// records.
struct unit_buffers {  // NOLINT(cppcoreguidelines-pro-type-member-init): never initialised
  std::array<char, output_capacity> output;
  std::array<char, PATH_MAX> long_file_name;
  reader_block read_block;
};

// One connected unit: the file and what is being read from it or written to it.
// Its small state lives with the table, away from its buffers, so that the states
// of all units share one page.
struct unit {  // NOLINT(cppcoreguidelines-pro-type-member-init): padded_field is filled on use
  std::int32_t number = 0;
  int fd = -1;
  // Why the read-write open failed when the file was opened for one direction
  // only; a refused read or write is reported with it.
  int read_write_errno = 0;
  bool can_read = true;
  bool can_write = true;
  bool regular_file = true;
  // A file that is not a regular file (a FIFO, a terminal, a device) is opened at
  // its first use, for that direction only: a FIFO opened for both would be its
  // own writer, and its reader would never see the end of it.
  bool opens_on_first_use = false;
  bool written = false;  // a write statement has ended since the unit was connected
  bool created = false;  // the file did not exist: connecting created it empty
  // The file's identity: no two units are connected to one file.
  dev_t device = 0;
  ino_t inode = 0;
  std::size_t output_size = 0;  // bytes of `output` not yet handed to the file
  off_t complete_bytes = 0;     // file length after the last statement that completed
  char* output = nullptr;       // where a write statement's records begin
  unit_buffers* buffers = nullptr;
  bounded_text<32> source;  // of the statement that connected it, for reports
  record_reader reader;
  path_name file_name;
  // A field that runs past the end of its record, completed with blanks.
  std::array<char, max_field_width> padded_field;
};

// Room for one unit's buffers, rounded up to whole pages.
inline constexpr std::size_t buffer_pages_bytes = (sizeof(unit_buffers) + 4095) / 4096 * 4096;

// Storage for the buffers of a table's units: each unit's start a page, found at
// run time (a page-aligned object on the stack would realign the whole frame),
// and nothing is touched until a unit is connected there.
struct buffer_storage {
  std::array<std::byte, max_units * buffer_pages_bytes + 4096> bytes;

  unit_buffers* slot(std::size_t index) {
    const auto address = reinterpret_cast<std::uintptr_t>(bytes.data());
    return reinterpret_cast<unit_buffers*>(bytes.data() + (4096 - address % 4096) % 4096 +
                                           index * buffer_pages_bytes);
  }
};

// Room for the small states of a table's units, constructed when a unit is
// connected.
struct state_storage {
  alignas(unit) std::array<std::byte, max_units * sizeof(unit)> bytes;

  unit* slot(std::size_t index) {
    return reinterpret_cast<unit*>(bytes.data() + index * sizeof(unit));
  }
};

}  // namespace records::detail
