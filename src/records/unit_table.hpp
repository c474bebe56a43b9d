#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_buffer.hpp"
#include "records/record_reader.hpp"

namespace records {

// One connected unit: the file, the record being read or built, and the column.
struct unit_entry {
  std::int32_t number = 0;
  std::string file_name;
  std::string source;  // of the statement that connected it, for reports
  int fd = -1;
  // Why the read-write open failed when the file was opened for one direction only;
  // 0 when it was opened for both. A refused read or write is reported with it.
  int read_write_errno = 0;
  bool can_read = true;
  bool can_write = true;
  bool regular_file = true;

  std::unique_ptr<record_reader> reader;  // made on the first read
  std::int64_t column = 1;                // 1-based position in the current record

  record_buffer output_record;  // the record under construction
  std::string output_block;     // ended records not yet handed to the file
  off_t complete_bytes = 0;     // file length after the last statement that completed
  bool written = false;         // a write statement has ended since the unit was connected
};

struct close_failure {
  std::int32_t unit = 0;
  std::string file_name;
  std::string source;
  int error_number = 0;
};

// The connected units, keyed by unit number. The run connects two.
class unit_table {
 public:
  unit_entry* find(std::int32_t number);
  // Connects `number` to an open file, replacing (and closing) any earlier connection.
  unit_entry& connect(unit_entry entry);
  // Closes every unit; the entries are gone either way. Reports the first close
  // that the system refused.
  std::optional<close_failure> close_all();

 private:
  std::vector<std::unique_ptr<unit_entry>> units_;
};

// The process's one unit table: statements name units by number only.
unit_table& connected_units();

}  // namespace records
