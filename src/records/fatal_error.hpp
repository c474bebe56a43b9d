#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <string_view>

#include "records/detail/bounded_text.hpp"

namespace records {

// Every condition that ends the run. A statement never returns after one.
enum class condition {
  cannot_open,         // the file can be neither opened nor created, or is another unit's file
  cannot_read,         // the system refused to read the file
  end_of_file,         // a read statement needed a record that is not there
  bad_integer,         // an I field that does not hold a signed 32-bit integer
  bad_real,            // an F field that does not hold a decimal real
  cannot_write,        // the system refused to take a record
  cannot_close,        // the system refused to close the file: written records may be lost
  unit_not_connected,  // a statement named a unit that no open connected
  changed_while_read,  // a file that was read changed before it was closed
};

// The texts of an error, held in place.
using source_text = detail::bounded_text<32>;
using name_text = detail::bounded_text<256>;
using field_bytes = detail::bounded_text<256>;
using reason_text = detail::bounded_text<320>;

// Inputs from peers (FIFOs, sockets) that a failed run has not yet read to
// their end. Each is read to its end and closed when the last copy of the error
// goes, after its report has been written: their writers never meet a reader
// that went away, and a writer that lingers holds back neither the output nor
// the report.
class unread_peers {
 public:
  unread_peers() = default;
  unread_peers(const unread_peers&) = delete;
  unread_peers& operator=(const unread_peers&) = delete;
  ~unread_peers();

  void add(int fd);

 private:
  std::array<int, 4> fds_ = {-1, -1, -1, -1};
};

// Everything a report needs; fields that do not apply stay at their defaults.
// The texts are held in place, so raising an error allocates nothing but the
// exception object itself.
struct fatal_error : std::exception {
  condition what_happened = condition::cannot_open;
  source_text source;
  std::int32_t statement_line = 0;  // 0: the failure belongs to no statement
  std::int32_t unit = 0;
  name_text file_name;
  std::int64_t record = 0;        // 1-based record number in the file; 0 when none applies
  std::int64_t first_column = 0;  // 0 when no field applies
  std::int64_t last_column = 0;
  field_bytes field_text;  // the field's raw bytes
  // The system's reason, a plain-words refinement, or what the run knows of the
  // cause (a listing that ends before the run has all it needs).
  reason_text detail;
  std::shared_ptr<unread_peers> peers;  // null where no peer waits

  const char* what() const noexcept override { return "eigpick fatal error"; }
};

// Room for the longest report: every byte of a name or field may take four columns.
using report_line = detail::bounded_text<4096>;

// The one line (without its newline) that the process entry prints for an error.
// Only printable ASCII: every other byte of a field, and the quote and backslash,
// are written as \xNN, so a listing cannot put control characters on a terminal.
report_line fatal_report(const fatal_error& error);

// What went wrong, as the report's line ends after its place (file, unit,
// statement, record, columns).
report_line failure_words(const fatal_error& error);

// The system's words for an errno value (as strerror gives them, but safe in
// any thread).
reason_text system_reason(int error_number);

// Appends bytes as a report shows them: printable ASCII as it stands, every other
// byte, the quote and the backslash as \xNN.
template <std::size_t Capacity>
void append_printable(detail::bounded_text<Capacity>& text, std::string_view bytes) {
  static constexpr char hex_digits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && c != '"' && c != '\\') {
      text.push_back(c);
    } else {
      text.append("\\x");
      text.push_back(hex_digits[byte >> 4]);
      text.push_back(hex_digits[byte & 0x0F]);
    }
  }
}

}  // namespace records
