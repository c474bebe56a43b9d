#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace records {

// Every condition that ends the run. A statement never returns after one.
enum class condition {
  cannot_open,         // the file can be neither opened nor created
  cannot_read,         // the system refused to read the file
  end_of_file,         // a read statement needed a record that is not there
  bad_integer,         // an I field that does not hold a signed 32-bit integer
  bad_real,            // an F field that does not hold a decimal real
  cannot_write,        // the system refused to take a record
  cannot_close,        // the system refused to close the file: written records may be lost
  unit_not_connected,  // a statement named a unit that no open connected
  bad_format,          // a format text the layer cannot parse
  item_mismatch,       // an item met a field of another kind, or no field at all
};

// Everything a report needs; fields that do not apply stay at their defaults.
struct fatal_error : std::exception {
  condition what_happened = condition::bad_format;
  std::string source;
  std::int32_t statement_line = 0;  // 0: the failure belongs to no statement
  std::int32_t unit = 0;
  std::string file_name;
  std::int64_t record = 0;        // 1-based record number in the file; 0 when none applies
  std::int64_t first_column = 0;  // 0 when no field applies
  std::int64_t last_column = 0;
  std::string field_text;  // the field's raw bytes, or the format text for bad_format
  std::string detail;      // the system's reason, or a plain-words refinement

  const char* what() const noexcept override { return "eigpick fatal error"; }
};

// The one line (without its newline) that the process entry prints for an error.
// Only printable ASCII: every other byte of a field, and the quote and backslash,
// are written as \xNN, so a listing cannot put control characters on a terminal.
std::string fatal_report(const fatal_error& error);

// Field text as it appears inside the quotes of a report.
std::string printable(std::string_view bytes);

}  // namespace records
