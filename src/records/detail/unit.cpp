#include "records/detail/unit.hpp"

#include <bitset>

namespace records::detail {
namespace {

// Room for the units of two tables at once: the run's, and in tests a second
// one beside it.
constexpr std::size_t buffer_sets = 2 * max_units;

// Static storage, never initialised: a page is only touched where a unit fills it.
unit_buffers
    buffer_pool[buffer_sets];    // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)
std::bitset<buffer_sets> taken;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

bool same_time(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

unit_buffers* take_unit_buffers() {
  for (std::size_t i = 0; i < buffer_sets; ++i) {
    if (taken[i]) continue;
    taken[i] = true;
    return &buffer_pool[i];
  }
  return nullptr;
}

void give_back_unit_buffers(unit_buffers* buffers) {
  taken[static_cast<std::size_t>(buffers - buffer_pool)] = false;
}

file_identity file_identity::of(const struct stat& status) {
  return {status.st_dev,  status.st_ino,  status.st_mode, status.st_nlink,
          status.st_size, status.st_mtim, status.st_ctim};
}

bool file_identity::same_contents(const file_identity& other) const {
  return size == other.size && same_time(modified, other.modified) &&
         same_time(changed, other.changed);
}

bool file_identity::same_file(const file_identity& other) const {
  if (inode != other.inode) return false;
  if (device == other.device) return true;
  // Two different files on two devices may share an inode number, but hardly
  // also their type, link count, size and both times to the nanosecond.
  return mode == other.mode && links == other.links && same_contents(other);
}

}  // namespace records::detail
