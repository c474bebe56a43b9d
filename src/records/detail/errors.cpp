#include "records/detail/errors.hpp"

#include <charconv>
#include <cstring>

#include "records/detail/unit.hpp"

namespace records::detail {

fatal_error statement_error(std::string_view source, std::int32_t statement_line,
                            std::int32_t unit_number, const unit* connected,
                            condition what_happened) {
  fatal_error error;
  error.what_happened = what_happened;
  error.source = source;
  error.statement_line = statement_line;
  error.unit = unit_number;
  if (connected != nullptr) error.file_name = connected->file_name.view();
  return error;
}

namespace {

std::string_view item_phrase(item_kind kind) {
  switch (kind) {
    case item_kind::character:
      return "a character item";
    case item_kind::integer:
      return "an integer item";
    case item_kind::real:
      return "a real item";
    case item_kind::skip:
    case item_kind::slash:
    case item_kind::literal:
      break;
  }
  return "an item";
}

void append_number(reason_text& text, std::int32_t value) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text.append({digits, static_cast<std::size_t>(end - digits)});
}

}  // namespace

reason_text mismatch_detail(item_kind wanted, const format_item* met) {
  reason_text detail;
  if (met == nullptr) {
    detail = "the format has no field for ";
    detail.append(item_phrase(wanted));
    return detail;
  }
  detail = item_phrase(wanted);
  detail.append(" met the field ");
  detail.push_back(met->kind == item_kind::character ? 'A'
                   : met->kind == item_kind::integer ? 'I'
                                                     : 'F');
  append_number(detail, met->width);
  if (met->kind == item_kind::real) {
    detail.push_back('.');
    append_number(detail, met->decimals);
  }
  return detail;
}

std::string_view system_reason(int error_number) {
  return std::strerror(error_number);
}

}  // namespace records::detail
