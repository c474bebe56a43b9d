#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace records {

// The most characters kept of one record; every position past them reads as a
// blank. Memory stays the same however long a line in the file is.
inline constexpr std::size_t record_limit = 4096;

// Splits a file into records, one line each, reading it forward in large blocks.
// LF ends a line; CR LF is one terminator. A last line without terminator is a
// record; there is no record after the last terminator. Every other byte is data.
// The buffers are part of the reader: reading allocates nothing.
class record_reader {
 public:
  enum class status { record, end_of_file, read_error };

  constexpr record_reader() = default;
  explicit record_reader(int fd) : fd_(fd) {}

  // Starts over on another file. The buffers are left as they are: whatever they
  // hold is never read before it is filled again.
  void reset(int fd) {
    fd_ = fd;
    begin_ = end_ = 0;
    at_end_of_file_ = false;
    spill_length_ = 0;
    record_ = {};
    record_number_ = 0;
    error_number_ = 0;
  }

  // Makes the next record current. After read_error, `error_number` says why.
  status next_record();

  std::string_view record() const { return record_; }
  // Records made current so far: the number of the current record.
  std::int64_t record_number() const { return record_number_; }
  int error_number() const { return error_number_; }

 private:
  static constexpr std::size_t block_size = std::size_t{64} * 1024;

  bool fill_block();
  void keep_in_spill(const char* bytes, std::size_t count);
  void finish_record(const char* bytes, std::size_t kept, std::size_t line_length, char last_byte,
                     bool terminated);

  int fd_ = -1;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_of_file_ = false;
  std::size_t spill_length_ = 0;
  std::string_view record_;
  std::int64_t record_number_ = 0;
  int error_number_ = 0;
  std::array<char, block_size> block_{};
  // A line that runs past the end of a block is gathered here, up to one byte over
  // the limit so that a CR just past the limit can still be told from data.
  std::array<char, record_limit + 1> spill_{};
};

}  // namespace records
