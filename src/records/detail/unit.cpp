#include "records/detail/unit.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace records::detail {
namespace {

bool same_time(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

file_state file_state::of(const struct stat& status) {
  return {status.st_nlink, status.st_size, status.st_mtim, status.st_ctim};
}

bool file_state::same_contents(const file_state& now) const {
  return size == now.size && same_time(modified, now.modified) &&
         (links != now.links || same_time(changed, now.changed));
}

void read_to_end(int fd, std::span<char> block) {
  while (true) {
    const ssize_t count = ::read(fd, block.data(), block.size());
    if (count > 0 || (count < 0 && errno == EINTR)) continue;
    return;
  }
}

std::string_view input_channel::padded_field(std::string_view record, std::uint64_t start,
                                             std::size_t width) {
  // Records read as if padded with blanks to any length.
  const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(start, record.size()));
  const std::size_t present = std::min(width, record.size() - from);
  std::copy_n(record.data() + from, present, padded_.data());
  std::fill(padded_.data() + present, padded_.data() + width, ' ');
  return {padded_.data(), width};
}

// A size limit or a reader that went away makes write(2) fail like a full disk
// (the process ignores SIGXFSZ and SIGPIPE).
bool output_channel::hand_to_file() {
  if (size_ == 0) return true;
  if (!replaced_) [[unlikely]] {
    // Cut before the first byte goes out: a file that cannot be cut keeps its
    // old bytes whole, never followed by new ones.
    replaced_ = true;
    if (regular_file_ && !inherited_ && ::ftruncate(fd_, 0) != 0) {
      take_back(errno, 0);
      return false;
    }
  }
  std::size_t taken = 0;
  while (taken != size_) {
    const ssize_t count = ::write(fd_, buffer_ + taken, size_ - taken);
    if (count <= 0) [[unlikely]] {
      if (count < 0 && errno == EINTR) continue;
      // A write that takes nothing would be tried forever.
      take_back(count < 0 ? errno : 0, taken);
      return false;
    }
    taken += static_cast<std::size_t>(count);
  }
  if (ended_ != 0) complete_bytes_ = handed_bytes_ + static_cast<off_t>(ends_[ended_ - 1].at);
  handed_bytes_ += static_cast<off_t>(size_);
  size_ = 0;
  ended_ = 0;
  return true;
}

// Of the statements handed over, those the file took whole stay; the bytes of
// the first it did not are taken back, so that the file never ends inside a
// record. Where that cannot be done, the refusal says so.
void output_channel::take_back(int error_number, std::size_t taken) {
  refusal_ = {statement_line_, error_number, 0, false};
  for (std::size_t k = 0; k < ended_; ++k) {
    if (ends_[k].at > taken) {
      refusal_.statement_line = ends_[k].line;
      break;
    }
    complete_bytes_ = handed_bytes_ + static_cast<off_t>(ends_[k].at);
  }
  size_ = 0;
  ended_ = 0;
  const bool untouched = handed_bytes_ + static_cast<off_t>(taken) == complete_bytes_;
  if (untouched || !regular_file_) return;
  if (inherited_ || ::ftruncate(fd_, complete_bytes_) != 0) {
    refusal_.cut_back_error_number = inherited_ ? 0 : errno;
    refusal_.may_end_inside_record = true;
  }
}

}  // namespace records::detail
