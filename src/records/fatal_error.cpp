#include "records/fatal_error.hpp"

#include <unistd.h>

#include <charconv>
#include <cstring>
#include <string_view>

#include "records/detail/unit.hpp"

namespace records {
namespace {

void append_number(report_line& line, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  line.append({digits, static_cast<std::size_t>(end - digits)});
}

void append_quoted(report_line& line, std::string_view bytes) {
  line.push_back('"');
  append_printable(line, bytes);
  line.push_back('"');
}

void append_detail(report_line& line, const fatal_error& e) {
  if (e.detail.empty()) return;
  line.append(" (");
  line.append(e.detail.view());
  line.push_back(')');
}

void describe_condition(report_line& line, const fatal_error& e) {
  switch (e.what_happened) {
    case condition::cannot_open:
      line.append("cannot open or create the file: ");
      line.append(e.detail.view());
      return;
    case condition::cannot_read:
      line.append("cannot read the file: ");
      line.append(e.detail.view());
      return;
    case condition::end_of_file:
      if (e.record == 0) {
        line.append("end of file: the file holds no records");
      } else {
        line.append("end of file after record ");
        append_number(line, e.record);
      }
      append_detail(line, e);
      return;
    case condition::bad_integer:
      line.append("bad integer field ");
      append_quoted(line, e.field_text.view());
      append_detail(line, e);
      return;
    case condition::bad_real:
      line.append("bad real field ");
      append_quoted(line, e.field_text.view());
      append_detail(line, e);
      return;
    case condition::cannot_write:
      line.append("cannot write the file: ");
      line.append(e.detail.view());
      return;
    case condition::cannot_close:
      line.append("cannot close the file: ");
      line.append(e.detail.view());
      return;
    case condition::unit_not_connected:
      line.append("no file is connected to the unit");
      return;
    case condition::changed_while_read:
      line.append("the file changed while it was read");
      return;
  }
  line.append("unknown failure");
}

}  // namespace

unread_peers::~unread_peers() {
  std::array<char, 16384> block;  // NOLINT(cppcoreguidelines-pro-type-member-init)
  for (const int fd : fds_) {
    if (fd < 0) continue;
    detail::read_to_end(fd, block);
    // Nothing is left to report a failure to.
    ::close(fd);
  }
}

void unread_peers::add(int fd) {
  for (int& slot : fds_) {
    if (slot < 0) {
      slot = fd;
      return;
    }
  }
  ::close(fd);
}

reason_text system_reason(int error_number) {
  std::array<char, reason_text::capacity()> room{};
  // The GNU strerror_r, which hands back either room or a constant text.
  return std::string_view(::strerror_r(error_number, room.data(), room.size()));
}

report_line failure_words(const fatal_error& error) {
  report_line line;
  describe_condition(line, error);
  return line;
}

report_line fatal_report(const fatal_error& e) {
  report_line line;
  append_printable(line, e.source.view());
  line.append(": ");
  if (!e.file_name.empty()) {
    append_printable(line, e.file_name.view());
    line.append(" (");
  }
  line.append("unit ");
  append_number(line, e.unit);
  if (!e.file_name.empty()) line.push_back(')');
  if (e.statement_line != 0) {
    line.append(", statement line ");
    append_number(line, e.statement_line);
  }
  // An end-of-file report counts the records instead of naming one.
  if (e.record != 0 && e.what_happened != condition::end_of_file) {
    line.append(", record ");
    append_number(line, e.record);
  }
  if (e.first_column != 0) {
    line.append(", columns ");
    append_number(line, e.first_column);
    line.push_back('-');
    append_number(line, e.last_column);
  }
  line.append(": ");
  describe_condition(line, e);
  return line;
}

}  // namespace records
