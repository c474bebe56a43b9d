#pragma once

#include <limits.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string_view>

#include "records/detail/bounded_text.hpp"
#include "records/detail/field_limits.hpp"
#include "records/detail/overlay_layers.hpp"
#include "records/detail/record_reader.hpp"
#include "records/detail/shape_plans.hpp"

namespace records::detail {

// A file name as open(2) takes it, NUL-terminated. A short name is held in
// place; a longer one, up to PATH_MAX bytes with the NUL, in storage its owner
// gives, so that the owner's small state stays together.
class path_name {
 public:
  path_name() = default;
  path_name(const path_name&) = delete;  // it may point into itself
  path_name& operator=(const path_name&) = delete;

  // False when the name does not fit.
  bool assign(std::string_view name, std::span<char> long_storage) {
    char* target = short_.data();
    if (name.size() >= short_.size()) {
      if (name.size() >= long_storage.size()) return false;
      target = long_storage.data();
    }
    name.copy(target, name.size());
    target[name.size()] = '\0';
    data_ = target;
    size_ = name.size();
    return true;
  }
  const char* c_str() const { return data_; }
  std::string_view view() const { return {data_, size_}; }

 private:
  const char* data_ = "";
  std::size_t size_ = 0;
  std::array<char, 64> short_{};
};

// Bytes of records that a unit gathers before handing them to its file.
inline constexpr std::size_t output_capacity = 4096;

// The most units connected at once; the run connects two.
inline constexpr std::size_t max_units = 4;

// The buffers of one unit, in pages of their own: never initialised, and touched
// only where they are filled. The output buffer starts a page, and the read block
// is page-aligned after the long name, so a unit that is only written touches the
// pages of its statements' records and a unit that is only read those of its
// records.
struct alignas(4096) unit_buffers {  // NOLINT(cppcoreguidelines-pro-type-member-init)
  std::array<char, output_capacity> output;
  std::array<char, PATH_MAX> long_file_name;
  reader_block read_block;
  shape_table::memory shapes;
};

// What a file's metadata shows of its contents, taken when it is first read.
// A rewrite moves its size or its modification time, and its change time; the
// change time moves as well when a link is added or removed (a rename over the
// name, an unlink), which leaves the bytes as they were.
struct file_state {
  nlink_t links = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static file_state of(const struct stat& status);
  // The contents are as they were: size and modification time agree, and so
  // does the change time unless the link count moved. On a file system that
  // keeps whole seconds, a rewrite of the same size within the second of the
  // first read cannot be told.
  bool same_contents(const file_state& now) const;
};

// The records of a unit, read one after another, and the fields taken from
// them.
class input_channel {  // NOLINT(cppcoreguidelines-pro-type-member-init): padded_ is filled on use
 public:
  void start(int fd, reader_block& block, shape_table::memory& shapes, bool created) {
    reader_.reset(fd, block);
    shapes_ = shape_table(shapes);
    created_ = created;
  }

  // Makes the next record current; after read_error, error_number() says why.
  record_reader::status next_record() {
    if (again_) [[unlikely]] {
      again_ = false;
      return record_reader::status::record;
    }
    return reader_.next_record();
  }
  // The current record is made current once more by the next statement.
  void read_again() { again_ = reader_.record_number() != 0; }
  std::string_view record() const { return reader_.record(); }
  std::int64_t record_number() const { return reader_.record_number(); }
  int error_number() const { return reader_.error_number(); }
  // The file did not exist: connecting created it empty.
  bool created() const { return created_; }
  // The plans of the field shapes met in the unit's records.
  shape_table& shapes() { return shapes_; }

  // The `width` columns of `record` from `column` on: a view into the record, or
  // a copy completed with blanks where the record ends first.
  std::string_view field_at(std::string_view record, std::int64_t column, std::int32_t width) {
    const auto start = static_cast<std::uint64_t>(column - 1);
    const auto count = static_cast<std::size_t>(width);
    if (start + count <= record.size()) [[likely]] {
      return record.substr(static_cast<std::size_t>(start), count);
    }
    return padded_field(record, start, count);
  }

 private:
  [[gnu::noinline]] std::string_view padded_field(std::string_view record, std::uint64_t start,
                                                  std::size_t width);

  record_reader reader_;
  shape_table shapes_;
  bool created_ = false;
  bool again_ = false;  // the next statement reads the current record again
  // A field that runs past the end of its record, completed with blanks.
  std::array<char, static_cast<std::size_t>(max_field_width)> padded_;
};

// Why a file refused the bytes of a statement, and which statement.
struct write_refusal {
  std::int32_t statement_line = 0;
  int error_number = 0;           // 0: a write took no bytes at all
  int cut_back_error_number = 0;  // why taking back the statement's bytes failed
  bool may_end_inside_record = false;
};

// The records of a unit, gathered statement after statement and handed to the
// file together: when the buffer is full, and whenever the owner asks (before a
// read, at the close). Before the first byte reaches a regular file the file is
// cut to nothing. Where the file refuses bytes, the statements wholly taken
// stay, and the file is cut back to the end of the last of them: it holds only
// whole records of whole statements.
class output_channel {
 public:
  void start(int fd, char* buffer, bool regular_file, bool inherited) {
    fd_ = fd;
    buffer_ = buffer;
    regular_file_ = regular_file;
    inherited_ = inherited;
  }

  void begin_statement(std::int32_t statement_line) { statement_line_ = statement_line; }

  // The next `count` bytes of the statement, count <= output_capacity; what was
  // gathered goes to the file first when there is no room. Null when the file
  // refused it: refusal() says why.
  char* reserve(std::size_t count) {
    if (count > output_capacity - size_) [[unlikely]] {
      if (!hand_to_file()) return nullptr;
    }
    char* const bytes = buffer_ + size_;
    size_ += count;
    return bytes;
  }

  // Ends a statement; its bytes wait with the others. False when they had to
  // go to the file at once and it refused them: refusal() says why.
  bool end_statement() {
    ends_[ended_++] = {size_, statement_line_};
    return ended_ != ends_.size() || hand_to_file();
  }

  // Hands every gathered byte to the file, if any. False when it refused them.
  bool hand_to_file();
  const write_refusal& refusal() const { return refusal_; }

 private:
  // Where a statement's bytes end in the buffer.
  struct statement_end {
    std::size_t at = 0;
    std::int32_t line = 0;
  };

  void take_back(int error_number, std::size_t taken);

  int fd_ = -1;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;      // bytes of the buffer not yet handed to the file
  off_t handed_bytes_ = 0;    // bytes handed to the file before the buffer's
  off_t complete_bytes_ = 0;  // file length after the last whole statement in it
  std::int32_t statement_line_ = 0;
  std::array<statement_end, 16> ends_{};
  std::size_t ended_ = 0;  // statements whose ends are in ends_
  bool regular_file_ = true;
  bool inherited_ = false;  // a standard stream: written where it stands, never cut
  bool replaced_ = false;   // the file has been cut to the records written
  write_refusal refusal_;
};

// One connected unit: the file, and the channel that reads or writes it. Its
// state lives with the table, away from its buffers, so that the states of all
// units share one page.
struct unit {
  std::int32_t number = 0;
  int fd = -1;
  bool for_writing = false;  // a unit moves records one way, declared when connected
  bool regular_file = true;
  // A FIFO or socket: read to its end before it is closed, so that its writer
  // never meets a reader that went away.
  bool drain_before_close = false;
  // Disconnected, and only waiting to be read to its end once every file to
  // write is closed: a writer that lingers never holds back the output.
  bool awaiting_drain = false;
  // The descriptor is standard output or error, inherited: written where it
  // stands, in its own mode, never cut.
  bool inherited = false;
  bool locked = false;              // a lock keeps other runs from writing it too
  bool created = false;             // the file did not exist: connecting created it empty
  bool state_taken = false;         // `first_read` holds the file as the first read found it
  bool written = false;             // a write statement has begun on the unit
  std::int32_t statement_line = 0;  // of the statement last begun on the unit
  file_key key;                     // the file itself
  layer_files layers;               // the files an overlay's file stands for
  file_state first_read;
  unit_buffers* buffers = nullptr;
  bounded_text<32> source;  // of the statement that connected it, for reports
  path_name file_name;
  input_channel input;
  output_channel output;
};

// Reads a FIFO or socket to its end into `block`, dropping what it holds; a
// failing read ends it as the end would.
void read_to_end(int fd, std::span<char> block);

// The buffers of a table's units, one set a slot, in the memory the table was
// given.
inline unit_buffers* buffers_of_slot(std::span<std::byte> memory, std::size_t index) {
  return reinterpret_cast<unit_buffers*>(memory.data()) + index;
}

// Room for the small states of a table's units, constructed when a unit is
// connected.
struct state_storage {
  alignas(unit) std::array<std::byte, max_units * sizeof(unit)> bytes;

  unit* slot(std::size_t index) {
    return reinterpret_cast<unit*>(bytes.data() + index * sizeof(unit));
  }
};

}  // namespace records::detail
