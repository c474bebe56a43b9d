#include "records/record_reader.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace records {

bool record_reader::fill_block() {
  begin_ = end_ = 0;
  while (true) {
    const ssize_t count = ::read(fd_, block_.data(), block_size);
    if (count >= 0) {
      end_ = static_cast<std::size_t>(count);
      at_end_of_file_ = count == 0;
      return true;
    }
    if (errno != EINTR) {
      error_number_ = errno;
      return false;
    }
  }
}

void record_reader::keep_in_spill(const char* bytes, std::size_t count) {
  const std::size_t room = record_limit + 1 - spill_length_;
  const std::size_t kept = std::min(count, room);
  std::memcpy(spill_.data() + spill_length_, bytes, kept);
  spill_length_ += kept;
}

void record_reader::finish_record(const char* bytes, std::size_t kept, std::size_t line_length,
                                  char last_byte, bool terminated) {
  // The CR of a CR LF terminator is not part of the record.
  const std::size_t length = terminated && last_byte == '\r' ? line_length - 1 : line_length;
  record_ = std::string_view(bytes, std::min({length, kept, record_limit}));
  ++record_number_;
}

record_reader::status record_reader::next_record() {
  spill_length_ = 0;
  std::size_t line_length = 0;
  char last_byte = '\0';
  bool spilled = false;
  while (true) {
    if (begin_ == end_) {
      if (at_end_of_file_ && !spilled) return status::end_of_file;
      if (!fill_block()) return status::read_error;
      if (at_end_of_file_) {
        if (!spilled) return status::end_of_file;
        finish_record(spill_.data(), spill_length_, line_length, last_byte, false);
        return status::record;
      }
    }
    const char* start = block_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t chunk = newline ? static_cast<std::size_t>(newline - start) : available;
    if (chunk > 0) last_byte = start[chunk - 1];
    line_length += chunk;
    if (newline && !spilled) {
      // The whole line lies in the block: the record is a view of it, no copy.
      begin_ += chunk + 1;
      finish_record(start, chunk, line_length, last_byte, true);
      return status::record;
    }
    keep_in_spill(start, chunk);
    spilled = true;
    begin_ += chunk;
    if (newline) {
      ++begin_;
      finish_record(spill_.data(), spill_length_, line_length, last_byte, true);
      return status::record;
    }
  }
}

}  // namespace records
