#include "records/fatal_error.hpp"

#include <string_view>

namespace records {

std::string printable(std::string_view bytes) {
  static constexpr char hex_digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && c != '"' && c != '\\') {
      out += c;
    } else {
      out += "\\x";
      out += hex_digits[byte >> 4];
      out += hex_digits[byte & 0x0F];
    }
  }
  return out;
}

namespace {

std::string quoted(std::string_view bytes) {
  return '"' + printable(bytes) + '"';
}

std::string with_detail(std::string text, const std::string& detail) {
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

std::string describe_condition(const fatal_error& e) {
  switch (e.what_happened) {
    case condition::cannot_open:
      return "cannot open or create the file: " + e.detail;
    case condition::cannot_read:
      return "cannot read the file: " + e.detail;
    case condition::end_of_file:
      if (e.record == 0) return "end of file: the file holds no records";
      return "end of file after record " + std::to_string(e.record);
    case condition::bad_integer:
      return with_detail("bad integer field " + quoted(e.field_text), e.detail);
    case condition::bad_real:
      return with_detail("bad real field " + quoted(e.field_text), e.detail);
    case condition::cannot_write:
      return "cannot write the file: " + e.detail;
    case condition::cannot_close:
      return "cannot close the file: " + e.detail;
    case condition::unit_not_connected:
      return "no file is connected to the unit";
    case condition::bad_format:
      return with_detail("bad format " + quoted(e.field_text), e.detail);
    case condition::item_mismatch:
      return e.detail;
  }
  return "unknown failure";
}

}  // namespace

std::string fatal_report(const fatal_error& e) {
  std::string line = printable(e.source) + ": ";
  if (!e.file_name.empty()) line += printable(e.file_name) + " (";
  line += "unit " + std::to_string(e.unit);
  if (!e.file_name.empty()) line += ")";
  if (e.statement_line != 0) line += ", statement line " + std::to_string(e.statement_line);
  // An end-of-file report counts the records instead of naming one.
  if (e.record != 0 && e.what_happened != condition::end_of_file) {
    line += ", record " + std::to_string(e.record);
  }
  if (e.first_column != 0) {
    line += ", columns " + std::to_string(e.first_column) + "-" + std::to_string(e.last_column);
  }
  return line + ": " + describe_condition(e);
}

}  // namespace records
