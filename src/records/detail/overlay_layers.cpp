#include "records/detail/overlay_layers.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace records::detail {
namespace {

// The file system type that statfs(2) reports for an overlay mount.
constexpr decltype(statfs::f_type) overlay_magic = 0x794c7630;

// Room for a path as the kernel gives and takes one.
constexpr std::size_t path_room = 4096;

bool on_overlay(int fd) {
  struct statfs status {};
  return ::fstatfs(fd, &status) == 0 && status.f_type == overlay_magic;
}

bool mount_id_of(int fd, std::uint64_t& id) {
  struct statx status {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &status) != 0 ||
      (status.stx_mask & STATX_MNT_ID) == 0) {
    return false;
  }
  id = status.stx_mnt_id;
  return true;
}

// Where the process sees the open file, as /proc names it; empty for a file
// that is no longer linked, or where /proc cannot tell.
std::string_view path_of(int fd, std::span<char> room) {
  char link[32] = "/proc/self/fd/";
  const auto end = std::to_chars(link + 14, link + sizeof link - 1, fd).ptr;
  *end = '\0';
  const ssize_t length = ::readlink(link, room.data(), room.size());
  if (length <= 0 || static_cast<std::size_t>(length) == room.size() || room[0] != '/') return {};
  const std::string_view path(room.data(), static_cast<std::size_t>(length));
  if (path.ends_with(" (deleted)")) return {};
  return path;
}

// The mount table writes blanks, commas, backslashes and the like in a name as
// a backslash and three octal digits; undone in place.
std::string_view unescape(std::span<char> text) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < text.size(); ++in) {
    const auto octal = [&](std::size_t k) {
      return in + k < text.size() && text[in + k] >= '0' && text[in + k] <= '7';
    };
    if (text[in] == '\\' && octal(1) && octal(2) && octal(3)) {
      text[out++] = static_cast<char>((text[in + 1] - '0') * 64 + (text[in + 2] - '0') * 8 +
                                      (text[in + 3] - '0'));
      in += 3;
    } else {
      text[out++] = text[in];
    }
  }
  return {text.data(), out};
}

// The next word of `line` up to `separator`, which is taken off with it.
std::span<char> next_word(std::span<char>& line, char separator) {
  const auto end = std::find(line.begin(), line.end(), separator);
  const auto length = static_cast<std::size_t>(end - line.begin());
  const std::span<char> word = line.first(length);
  line = line.subspan(std::min(length + 1, line.size()));
  return word;
}

// One line of the mount table, the parts that place a file in its layers.
struct mount_entry {
  std::span<char> root;         // the directory of the file system mounted here
  std::span<char> mount_point;  // where it is mounted
  std::span<char> options;      // the file system's own options
};

bool parse_entry(std::span<char> line, mount_entry& entry) {
  for (int field = 0; field < 3; ++field)
    next_word(line, ' ');
  entry.root = next_word(line, ' ');
  entry.mount_point = next_word(line, ' ');
  // Optional fields up to a lone "-", then the type, the source and the options.
  while (!line.empty()) {
    const std::span<char> word = next_word(line, ' ');
    if (word.size() == 1 && word[0] == '-') {
      next_word(line, ' ');
      next_word(line, ' ');
      entry.options = next_word(line, ' ');
      return true;
    }
  }
  return false;
}

// The line of the mount table that describes mount `id`, or false. Read a
// piece at a time into `room`; a line longer than `room` cannot be read whole.
bool find_mount(std::uint64_t id, std::span<char> room, mount_entry& entry) {
  char prefix[24];
  auto* const prefix_end = std::to_chars(prefix, prefix + sizeof prefix - 1, id).ptr;
  *prefix_end = ' ';
  const std::string_view wanted(prefix, static_cast<std::size_t>(prefix_end - prefix) + 1);

  const int table = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (table < 0) return false;
  bool found = false;
  std::size_t filled = 0;
  while (!found) {
    const ssize_t count = ::read(table, room.data() + filled, room.size() - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    filled += static_cast<std::size_t>(count);
    std::size_t start = 0;
    for (char* newline = nullptr;
         (newline = static_cast<char*>(std::memchr(room.data() + start, '\n', filled - start)));
         start = static_cast<std::size_t>(newline - room.data()) + 1) {
      const std::span<char> line =
          room.subspan(start, static_cast<std::size_t>(newline - room.data()) - start);
      if (std::string_view(line.data(), line.size()).starts_with(wanted)) {
        found = parse_entry(line, entry);
        break;
      }
    }
    if (found) break;
    if (start == 0 && filled == room.size()) break;  // a line longer than the room
    std::memmove(room.data(), room.data() + start, filled - start);
    filled -= start;
  }
  ::close(table);
  return found;
}

// Adds the file at the path made of `parts` to `files`, where there is one.
void add_layer_file(std::initializer_list<std::string_view> parts, std::span<char> room,
                    layer_files& files) {
  // Only an absolute layer names a directory that this process can find.
  if (parts.begin()->empty() || parts.begin()->front() != '/') return;
  std::size_t length = 0;
  for (const std::string_view part : parts) {
    if (part.size() >= room.size() - length) return;
    part.copy(room.data() + length, part.size());
    length += part.size();
  }
  room[length] = '\0';
  struct stat status {};
  if (::fstatat(AT_FDCWD, room.data(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    files.add({status.st_dev, status.st_ino});
  }
}

// Each layer directory the options name: "upperdir=", "lowerdir=" (layers
// parted by colons), and the "lowerdir+=" and "datadir+=" of one layer each.
template <typename Each>
void for_each_layer(std::span<char> options, Each each) {
  while (!options.empty()) {
    std::span<char> option = next_word(options, ',');
    const std::string_view text(option.data(), option.size());
    for (const std::string_view key : {"upperdir=", "lowerdir+=", "datadir+="}) {
      if (text.starts_with(key)) each(unescape(option.subspan(key.size())));
    }
    if (text.starts_with("lowerdir=")) {
      option = option.subspan(9);
      while (!option.empty())
        each(unescape(next_word(option, ':')));
    }
  }
}

}  // namespace

bool layer_files::contains(const file_key& key) const {
  return std::find(keys_.begin(), keys_.begin() + static_cast<std::ptrdiff_t>(size_), key) !=
         keys_.begin() + static_cast<std::ptrdiff_t>(size_);
}

bool layer_files::shares_any(const layer_files& other) const {
  for (std::size_t i = 0; i < size_; ++i) {
    if (other.contains(keys_[i])) return true;
  }
  return false;
}

layer_files find_layer_files(int fd, std::span<char> scratch) {
  layer_files files;
  std::uint64_t id = 0;
  if (scratch.size() < 2 * path_room || !on_overlay(fd) || !mount_id_of(fd, id)) return files;
  const std::span<char> path_room_of_file = scratch.first(path_room);
  const std::span<char> layer_path = scratch.subspan(path_room, path_room);
  const std::span<char> table_room = scratch.subspan(2 * path_room);
  const std::string_view path = path_of(fd, path_room_of_file);
  mount_entry entry;
  if (path.empty() || !find_mount(id, table_room, entry)) return files;
  const std::string_view root = unescape(entry.root);
  const std::string_view mount_point = unescape(entry.mount_point);
  // The file's path inside the mounted directory tree, from its mount point on.
  std::string_view inside = path;
  if (mount_point != "/") {
    if (!path.starts_with(mount_point) || path.size() <= mount_point.size() ||
        path[mount_point.size()] != '/') {
      return files;
    }
    inside.remove_prefix(mount_point.size());
  }
  // A mount of a directory inside the overlay puts that directory first.
  const std::string_view directory_inside = root == "/" ? std::string_view() : root;
  for_each_layer(entry.options, [&](std::string_view layer) {
    add_layer_file({layer, directory_inside, inside}, layer_path, files);
  });
  return files;
}

}  // namespace records::detail
