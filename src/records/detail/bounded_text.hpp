#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace records::detail {

// Text of at most Capacity bytes held in place, so that building a report never
// allocates: a failure caused by exhausted memory can still be reported. Text past
// the capacity is dropped.
template <std::size_t Capacity>
class bounded_text {
 public:
  bounded_text() = default;
  // Implicit, so that a field is assigned from a literal or a view like a string.
  bounded_text(std::string_view text) { append(text); }  // NOLINT(google-explicit-constructor)
  bounded_text& operator=(std::string_view text) {
    size_ = 0;
    append(text);
    return *this;
  }

  void append(std::string_view text) {
    const std::size_t count = std::min(text.size(), Capacity - size_);
    if (count != 0) std::memcpy(bytes_.data() + size_, text.data(), count);
    size_ += count;
  }
  void push_back(char c) {
    if (size_ < Capacity) bytes_[size_++] = c;
  }
  void pop_back() {
    if (size_ != 0) --size_;
  }

  std::string_view view() const { return {bytes_.data(), size_}; }
  bool empty() const { return size_ == 0; }
  static constexpr std::size_t capacity() { return Capacity; }

 private:
  std::array<char, Capacity> bytes_{};
  std::size_t size_ = 0;
};

}  // namespace records::detail
