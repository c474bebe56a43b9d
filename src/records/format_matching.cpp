#include "records/format_matching.hpp"

#include "records/connection.hpp"
#include "records/statement_errors.hpp"

namespace records {

active_statement current_statement;

namespace {

const char* item_phrase(item_kind kind) {
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

std::string field_name(const format_item& item) {
  const char letter = item.kind == item_kind::character ? 'A'
                      : item.kind == item_kind::integer ? 'I'
                                                        : 'F';
  std::string name(1, letter);
  name += std::to_string(item.width);
  if (item.kind == item_kind::real) {
    name += '.';
    name += std::to_string(item.decimals);
  }
  return name;
}

void begin_next_record(const statement_params& params) {
  if (current_statement.writing) {
    end_output_record(params, *current_statement.unit);
  } else {
    begin_next_input_record(params, *current_statement.unit);
  }
}

void perform_control(const statement_params& params, const format_item& item) {
  switch (item.kind) {
    case item_kind::skip:
      current_statement.unit->column += item.width;
      break;
    case item_kind::slash:
      begin_next_record(params);
      break;
    case item_kind::literal:
      // Input has no use for a literal's text; it is passed over like a skip.
      if (current_statement.writing) {
        place_output_text(params, *current_statement.unit, item.text);
      } else {
        current_statement.unit->column += static_cast<std::int64_t>(item.text.size());
      }
      break;
    case item_kind::character:
    case item_kind::integer:
    case item_kind::real:
      break;
  }
}

}  // namespace

active_statement& begin_statement(const statement_params& params, bool writing) {
  unit_entry* unit = connected_units().find(params.unit);
  if (unit == nullptr) raise(statement_error(params, condition::unit_not_connected));
  if (unit->opens_on_first_use) open_on_first_use(params, *unit, writing);
  const format_parse_result& parse = cached_format(params.text);
  if (!parse.ok()) {
    fatal_error error = statement_error(params, condition::bad_format);
    error.field_text = params.text;
    error.detail = parse.error + " at character " + std::to_string(parse.error_offset + 1);
    raise(std::move(error));
  }
  current_statement = active_statement{unit, &parse.format, 0, writing};
  return current_statement;
}

const format_item& next_field_slow(const statement_params& params, item_kind wanted) {
  const auto& items = current_statement.format->items;
  while (true) {
    if (current_statement.next_item == items.size()) {
      if (!current_statement.format->has_field) {
        fatal_error error = statement_error(params, condition::item_mismatch);
        error.detail = "the format has no field for ";
        error.detail.append(item_phrase(wanted));
        raise(std::move(error));
      }
      begin_next_record(params);
      current_statement.next_item = 0;
      continue;
    }
    const format_item& item = items[current_statement.next_item++];
    if (!item.is_field()) {
      perform_control(params, item);
      continue;
    }
    if (item.kind != wanted) {
      fatal_error error = statement_error(params, condition::item_mismatch);
      error.detail = item_phrase(wanted);
      error.detail.append(" met the field ");
      error.detail.append(field_name(item));
      raise(std::move(error));
    }
    return item;
  }
}

void finish_format(const statement_params& params) {
  const auto& items = current_statement.format->items;
  while (current_statement.next_item < items.size() &&
         !items[current_statement.next_item].is_field()) {
    perform_control(params, items[current_statement.next_item++]);
  }
}

}  // namespace records
