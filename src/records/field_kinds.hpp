#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "records/detail/input_editing.hpp"
#include "records/detail/output_editing.hpp"
#include "records/fatal_error.hpp"
#include "records/format.hpp"
#include "records/plan.hpp"

namespace records {

// The table of field kinds: for each kind of field, what its items hold, the
// one scanner that reads a field and the one editor that writes a value, and
// the condition a report names for a field that holds no value of the kind.
// Statements ask the kind which route to take. A kind without an entry has no
// definition here, so a format that holds one does not compile.
//
// Every entry gives `holds`, `read` and `reads_rows`; a kind whose fields can be
// written gives `write_row` (one value is a row of one), one that reads rows of
// its fields side by side at once `read_row`, and one whose fields can fail
// `bad_field`.
template <item_kind Kind>
struct field_kind;

// A field's width as the editing functions count it.
template <format_item Field>
inline constexpr auto width_of = static_cast<std::size_t>(Field.width);

// Aw: characters as they stand; never written.
template <>
struct field_kind<item_kind::character> {
  using value = char;
  static constexpr value_kind holds = value_kind::character;
  static constexpr bool reads_rows = false;

  template <format_item Field>
  static void read(std::string_view text, std::span<char> item) {
    detail::read_character_field(text, item);
  }
};

// Iw: a decimal integer.
template <>
struct field_kind<item_kind::integer> {
  using value = std::int32_t;
  static constexpr value_kind holds = value_kind::integer;
  static constexpr bool reads_rows = true;
  static constexpr condition bad_field = condition::bad_integer;

  template <format_item Field>
  [[gnu::always_inline]] static detail::field_result<value> read(std::string_view text,
                                                                 detail::shape_table& shapes) {
    return detail::read_integer_field<width_of<Field>>(text, shapes);
  }
  template <format_item Field, std::size_t Count>
  [[gnu::always_inline]] static detail::row_result read_row(const char* columns, value* values,
                                                            detail::shape_table& shapes) {
    return detail::read_integer_row<width_of<Field>, Count>(columns, values, shapes);
  }
  template <format_item Field>
  [[gnu::always_inline]] static void write_row(const value* values, std::size_t count,
                                               char* columns) {
    for (std::size_t k = 0; k < count; ++k, columns += width_of<Field>)
      detail::write_integer_field<width_of<Field>>(values[k], columns);
  }
};

// Fw.d: a decimal real with d implied fraction digits.
template <>
struct field_kind<item_kind::real> {
  using value = float;
  static constexpr value_kind holds = value_kind::real;
  static constexpr bool reads_rows = true;
  static constexpr condition bad_field = condition::bad_real;

  template <format_item Field>
  [[gnu::always_inline]] static detail::field_result<value> read(std::string_view text,
                                                                 detail::shape_table& shapes) {
    return detail::read_real_field<width_of<Field>, Field.decimals>(text, shapes);
  }
  template <format_item Field, std::size_t Count>
  [[gnu::always_inline]] static detail::row_result read_row(const char* columns, value* values,
                                                            detail::shape_table& shapes) {
    return detail::read_real_row<width_of<Field>, Field.decimals, Count>(columns, values, shapes);
  }
  template <format_item Field>
  [[gnu::always_inline]] static void write_row(const value* values, std::size_t count,
                                               char* columns) {
    detail::write_real_row<width_of<Field>, static_cast<std::size_t>(Field.decimals)>(values, count,
                                                                                      columns);
  }
};

// What the items of a field of `kind` hold; none for what is no field.
constexpr value_kind holds(item_kind kind) {
  switch (kind) {
    case item_kind::character:
      return field_kind<item_kind::character>::holds;
    case item_kind::integer:
      return field_kind<item_kind::integer>::holds;
    case item_kind::real:
      return field_kind<item_kind::real>::holds;
    case item_kind::skip:
    case item_kind::slash:
    case item_kind::literal:
      break;
  }
  return value_kind::none;
}

}  // namespace records
