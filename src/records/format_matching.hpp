#pragma once

#include <cstddef>

#include "records/format.hpp"
#include "records/statement.hpp"
#include "records/unit_table.hpp"

namespace records {

// The statement in progress: its unit, its parsed format and the next format item.
struct active_statement {
  unit_entry* unit = nullptr;
  const parsed_format* format = nullptr;
  std::size_t next_item = 0;
  bool writing = false;
};

// Looks up the unit and the (cached) parse of the format and makes the statement
// current; an unconnected unit or a text that is no format is fatal.
active_statement& begin_statement(const statement_params& params, bool writing);

// The statement in progress; only one is ever open.
extern active_statement current_statement;

// The unit of the statement in progress.
inline unit_entry& active_unit() {
  return *current_statement.unit;
}

// next_field from an item that is neither a skip nor a field of the wanted kind.
const format_item& next_field_slow(const statement_params& params, item_kind wanted);

// Carries the format on to the next field item, performing the skips, slashes and
// literals before it; an item that finds the format at its ")" reverts it to the
// first item on a new record. A field of another kind than `wanted` is fatal.
// Inline because it runs for every item; most of the time only skips stand
// before the field.
inline const format_item& next_field(const statement_params& params, item_kind wanted) {
  active_statement& statement = current_statement;
  const auto& items = statement.format->items;
  while (statement.next_item < items.size()) {
    const format_item& item = items[statement.next_item];
    if (item.kind == wanted) {
      ++statement.next_item;
      return item;
    }
    if (item.kind != item_kind::skip) break;
    statement.unit->column += item.width;
    ++statement.next_item;
  }
  return next_field_slow(params, wanted);
}

// The end of a statement: skips, slashes and literals are performed up to the next
// field item or the ")", whichever comes first.
void finish_format(const statement_params& params);

// Implemented by the read and write sides: how a new record begins for each.
void begin_next_input_record(const statement_params& params, unit_entry& unit);
void end_output_record(const statement_params& params, unit_entry& unit);
void place_output_text(const statement_params& params, unit_entry& unit, std::string_view text);

}  // namespace records
