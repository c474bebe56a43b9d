#pragma once

#include <limits.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
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
struct alignas(4096) unit_buffers {  // NOLINT(cppcoreguidelines-pro-type-member-init)
  std::array<char, output_capacity> output;
  std::array<char, PATH_MAX> long_file_name;
  reader_block read_block;
};

// What tells one file from another. Two names reach one file when device and
// inode agree, and also when the inode number and everything the kernel keeps
// of the file's contents agree although the devices differ: that is one file
// seen through an overlay and its layer, or through two mounts of one network
// file system, which report the same inode under different devices.
struct file_identity {
  dev_t device = 0;
  ino_t inode = 0;
  mode_t mode = 0;
  nlink_t links = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static file_identity of(const struct stat& status);
  bool same_file(const file_identity& other) const;
  // Size and times agree: a file that was read has not been written since.
  bool same_contents(const file_identity& other) const;
};

// One connected unit: the file and what is being read from it or written to it.
// Its small state lives with the table, away from its buffers, so that the states
// of all units share one page.
struct unit {  // NOLINT(cppcoreguidelines-pro-type-member-init): padded_field is filled on use
  std::int32_t number = 0;
  int fd = -1;
  bool for_writing = false;  // a unit moves records one way, declared when connected
  bool regular_file = true;
  // A FIFO or socket: read to its end before it is closed, so that its writer
  // never meets a reader that went away.
  bool drain_before_close = false;
  // The descriptor is standard output or error, inherited: written where it
  // stands, in its own mode, never cut.
  bool inherited = false;
  bool replaced = false;            // a write statement has cut the file to the records written
  bool created = false;             // the file did not exist: connecting created it empty
  std::int32_t statement_line = 0;  // of the statement last begun on the unit
  file_identity opened;             // the file as it was when connected
  std::size_t output_size = 0;      // bytes of `output` not yet handed to the file
  off_t complete_bytes = 0;         // file length after the last statement that completed
  char* output = nullptr;           // where a write statement's records begin
  unit_buffers* buffers = nullptr;
  bounded_text<32> source;  // of the statement that connected it, for reports
  record_reader reader;
  path_name file_name;
  // A field that runs past the end of its record, completed with blanks.
  std::array<char, max_field_width> padded_field;
};

// The buffers of every unit of every table live here, in static storage: a run
// of any stack size has room for them, and their pages are only touched once a
// unit is connected to one. Null when every set is taken.
unit_buffers* take_unit_buffers();
void give_back_unit_buffers(unit_buffers* buffers);

// Room for the small states of a table's units, constructed when a unit is
// connected.
struct state_storage {
  alignas(unit) std::array<std::byte, max_units * sizeof(unit)> bytes;

  unit* slot(std::size_t index) {
    return reinterpret_cast<unit*>(bytes.data() + index * sizeof(unit));
  }
};

}  // namespace records::detail
