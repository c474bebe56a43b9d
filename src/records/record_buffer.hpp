#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace records {

// The record under construction. Fields are edited straight into it: extend()
// hands out the next columns uninitialised, so no field is built elsewhere and
// copied, and nothing is cleared that is about to be written.
class record_buffer {
 public:
  char* extend(std::size_t count) {
    if (count > capacity_ - size_) grow(count);
    char* columns = data_.get() + size_;
    size_ += count;
    return columns;
  }
  void append_blanks(std::size_t count) { std::memset(extend(count), ' ', count); }
  void clear() { size_ = 0; }
  std::size_t size() const { return size_; }
  std::string_view text() const { return {data_.get(), size_}; }

 private:
  void grow(std::size_t count) {
    const std::size_t wanted = std::max(size_ + count, 2 * capacity_ + 128);
    auto larger = std::make_unique_for_overwrite<char[]>(wanted);
    if (size_ != 0) std::memcpy(larger.get(), data_.get(), size_);
    data_ = std::move(larger);
    capacity_ = wanted;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace records
