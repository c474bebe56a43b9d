#include "records/detail/record_reader.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace records::detail {

// Bytes of a line kept at the front of the block: the kept columns and one more,
// so that a CR just past them can still be told from data.
constexpr std::size_t kept_line = record_limit + 1;

std::size_t record_reader::room_after(std::size_t used) const {
  // While a line is still being kept, reads end at a piece boundary, so that a
  // listing of short lines only ever touches the first piece of the block; past
  // the kept columns the rest of the block takes the bytes that are passed over.
  if (used < kept_line) return piece_size - used % piece_size;
  return block_size - kept_line;
}

record_reader::status record_reader::next_record_across_blocks() {
  // What is left of the block is the start of a line without its end: it moves
  // to the front, and the file's next bytes are read after it.
  std::size_t line_length = end_ - begin_;
  std::size_t used = std::min(line_length, kept_line);
  if (begin_ != 0 && used != 0) std::memmove(block_, block_ + begin_, used);
  begin_ = 0;
  end_ = used;
  char last_byte = used != 0 ? block_[used - 1] : '\0';
  while (true) {
    if (at_end_of_file_) {
      if (line_length == 0) return status::end_of_file;
      begin_ = end_;
      finish_record(used, line_length, last_byte, false);
      return status::record;
    }
    // Past the kept columns, new bytes go after them and are overwritten by the next read.
    const std::size_t at = std::min(used, kept_line);
    const ssize_t count = ::read(fd_, block_ + at, room_after(at));
    if (count < 0) {
      if (errno == EINTR) continue;
      error_number_ = errno;
      return status::read_error;
    }
    if (count == 0) {
      at_end_of_file_ = true;
      continue;
    }
    const char* const fresh = block_ + at;
    const auto* newline =
        static_cast<const char*>(std::memchr(fresh, '\n', static_cast<std::size_t>(count)));
    const std::size_t chunk = newline != nullptr ? static_cast<std::size_t>(newline - fresh)
                                                 : static_cast<std::size_t>(count);
    if (chunk != 0) last_byte = fresh[chunk - 1];
    line_length += chunk;
    used = std::min(at + chunk, kept_line);
    if (newline != nullptr) {
      begin_ = at + chunk + 1;
      end_ = at + static_cast<std::size_t>(count);
      finish_record(used, line_length, last_byte, true);
      return status::record;
    }
    end_ = used;
  }
}

void record_reader::finish_record(std::size_t kept, std::size_t line_length, char last_byte,
                                  bool terminated) {
  // The CR of a CR LF terminator is not part of the record.
  const std::size_t length = terminated && last_byte == '\r' ? line_length - 1 : line_length;
  record_ = std::string_view(block_, std::min({length, kept, record_limit}));
  ++record_number_;
}

}  // namespace records::detail
