#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace records::detail {

// The most characters kept of one record; every position past them reads as a
// blank. Memory stays the same however long a line in the file is.
inline constexpr std::size_t record_limit = 4096;

// The storage a record_reader reads into, which its owner places. The block
// proper starts at the first page boundary inside it, so that a read of a page
// touches one page; the storage is never initialised and is touched only where
// the file fills it.
struct reader_block {
  static constexpr std::size_t page = 4096;
  static constexpr std::size_t size = std::size_t{64} * 1024;
  std::array<char, size + page> storage;

  char* start() {
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    return storage.data() + ((page - address % page) % page);
  }
};

// Splits a file into records, one line each, reading it forward into a block.
// LF ends a line; CR LF is one terminator. A last line without terminator is a
// record; there is no record after the last terminator. Every other byte is
// data. Reading allocates nothing. The block is read a page-sized piece at a
// time, and a line that a read cuts moves to the front of the block before the
// next: a listing of short lines only touches the block's first page. Inside a
// line longer than the kept columns, the rest of the block takes each read, so
// that passing over a huge line takes few reads and stores nothing.
class record_reader {
 public:
  enum class status { record, end_of_file, read_error };

  record_reader() = default;
  record_reader(int fd, reader_block& block) { reset(fd, block); }

  // Starts over on another file. The block is left as it is: whatever it holds
  // is never read before it is filled again.
  void reset(int fd, reader_block& block) {
    block_ = block.start();
    fd_ = fd;
    begin_ = end_ = 0;
    at_end_of_file_ = false;
    record_ = {};
    record_number_ = 0;
    error_number_ = 0;
  }

  // Makes the next record current. After read_error, `error_number` says why.
  // Inline for the usual case, a whole line inside the block.
  status next_record() {
    const char* const start = block_ + begin_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
    if (newline == nullptr) [[unlikely]] {
      return next_record_across_blocks();
    }
    std::size_t length = static_cast<std::size_t>(newline - start);
    begin_ += length + 1;
    // The CR of a CR LF terminator is not part of the record.
    if (length != 0 && start[length - 1] == '\r') --length;
    record_ = std::string_view(start, std::min(length, record_limit));
    ++record_number_;
    return status::record;
  }

  std::string_view record() const { return record_; }
  // Records made current so far: the number of the current record.
  std::int64_t record_number() const { return record_number_; }
  int error_number() const { return error_number_; }

 private:
  static constexpr std::size_t piece_size = 4096;
  static constexpr std::size_t block_size = reader_block::size;

  status next_record_across_blocks();
  std::size_t room_after(std::size_t used) const;
  void finish_record(std::size_t kept, std::size_t line_length, char last_byte, bool terminated);

  int fd_ = -1;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_of_file_ = false;
  std::string_view record_;
  std::int64_t record_number_ = 0;
  int error_number_ = 0;
  char* block_ = nullptr;
};

}  // namespace records::detail
