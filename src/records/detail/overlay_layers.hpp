#pragma once

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <span>

namespace records::detail {

// What tells one file from another: the device and inode numbers of the very
// file, nothing less.
struct file_key {
  dev_t device = 0;
  ino_t inode = 0;
  friend bool operator==(const file_key&, const file_key&) = default;
};

// The files in the layers of an overlay mount that an open file of that mount
// stands for: the same path in the upper layer and in each lower layer, those
// that exist. An overlay shows its files under numbers of its own, so only
// these tell that a name outside it reaches one of its files.
class layer_files {
 public:
  static constexpr std::size_t capacity = 16;

  void add(const file_key& key) {
    if (size_ < capacity) keys_[size_++] = key;
  }
  bool contains(const file_key& key) const;
  bool shares_any(const layer_files& other) const;
  std::size_t size() const { return size_; }

 private:
  std::array<file_key, capacity> keys_{};
  std::size_t size_ = 0;
};

// The layer files of the open file `fd` when it lies on an overlay mount; none
// when it does not, or where the layers cannot be found or looked at (no /proc,
// a file already unlinked, a layer this process may not search, an overlay
// nested in another, a mount table line longer than `scratch`). `scratch`, at
// least two pages, holds the mount table while it is read.
layer_files find_layer_files(int fd, std::span<char> scratch);

}  // namespace records::detail
