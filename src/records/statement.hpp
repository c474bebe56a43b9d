#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>
#include <utility>

#include "records/fatal_error.hpp"
#include "records/field_kinds.hpp"
#include "records/format.hpp"
#include "records/plan.hpp"
#include "records/unit_table.hpp"

namespace records {

// Why a statement's items cannot move through its format.
enum class item_fault : std::uint8_t {
  none,
  type_no_field_takes,    // neither characters, a 32-bit integer nor a 32-bit real
  characters_written,     // no field writes characters
  kind_of_another_field,  // the item meets a field of another kind
  no_field_at_all,        // the format has no field for any item
  missing_item,           // a write leaves a field of its format without an item
  list_in_a_read,         // a read takes items of fixed length only
  list_with_others,       // a list of any length must be a write's only item
};

struct item_problem {
  item_fault fault = item_fault::none;
  std::size_t position = 0;  // of the item, from 1, in the statement's list
};

namespace compile_time {

struct item_info {
  value_kind kind = value_kind::none;
  std::size_t count = 1;
  bool any_length = false;
};

template <typename Item>
constexpr item_info info_of() {
  return {item_kind_of<Item>, item_shape_of<Item>::count, item_shape_of<Item>::any_length};
}

// The first item that cannot move through the format, in list order.
template <typename Plan, std::size_t Items>
constexpr item_problem check_items(const Plan& plan, const std::array<item_info, Items>& items,
                                   bool writing) {
  constexpr std::size_t fields = Plan::field_count;
  std::size_t flat = 0;
  for (std::size_t position = 1; position <= Items; ++position) {
    const item_info& item = items[position - 1];
    const auto fault_here = [position](item_fault fault) { return item_problem{fault, position}; };
    if (item.kind == value_kind::none) return fault_here(item_fault::type_no_field_takes);
    if (writing && item.kind == value_kind::character) {
      return fault_here(item_fault::characters_written);
    }
    if (item.any_length && !writing) return fault_here(item_fault::list_in_a_read);
    if (item.any_length && Items != 1) return fault_here(item_fault::list_with_others);
    if (fields == 0) return fault_here(item_fault::no_field_at_all);
    // A list of any length may meet every field; a fixed item meets its own.
    const std::size_t first = item.any_length ? 0 : flat;
    const std::size_t last = item.any_length ? fields : flat + item.count;
    for (std::size_t k = first; k < last; ++k) {
      if (holds(plan.fields[k % fields].kind) != item.kind) {
        return fault_here(item_fault::kind_of_another_field);
      }
    }
    flat += item.count;
  }
  const bool has_list = Items == 1 && items[0].any_length;
  if (writing && !has_list && fields != 0 && flat % fields != 0) {
    return {item_fault::missing_item, Items + 1};
  }
  return {};
}

// Items that cannot move through the format stop the compilation with the one
// error below that names the fault and the item.
template <item_fault Fault, std::size_t Position>
constexpr void name_the_item_fault() {
  using enum item_fault;
#define EIGPICK_ITEM_FAULTS(N)                                                                  \
  static_assert(Fault != type_no_field_takes || Position != (N),                                \
                "item " #N                                                                      \
                " is of a type no field takes: a field takes a char array, "                    \
                "std::int32_t or float, or an array or span of them");                          \
  static_assert(Fault != characters_written || Position != (N),                                 \
                "item " #N " holds characters, and a write takes integers and reals only");     \
  static_assert(Fault != kind_of_another_field || Position != (N),                              \
                "item " #N " does not match the kind of its field in the format");              \
  static_assert(Fault != no_field_at_all || Position != (N),                                    \
                "item " #N " finds no field: the format has none");                             \
  static_assert(Fault != missing_item || Position != (N),                                       \
                "item " #N " is missing: the format has a field for it");                       \
  static_assert(Fault != list_in_a_read || Position != (N),                                     \
                "item " #N " is a span of any length, and a read takes items of fixed length"); \
  static_assert(Fault != list_with_others || Position != (N),                                   \
                "item " #N " is a span of any length, which must be the statement's only item")
  EIGPICK_ITEM_FAULTS(1);
  EIGPICK_ITEM_FAULTS(2);
  EIGPICK_ITEM_FAULTS(3);
  EIGPICK_ITEM_FAULTS(4);
  EIGPICK_ITEM_FAULTS(5);
  EIGPICK_ITEM_FAULTS(6);
  EIGPICK_ITEM_FAULTS(7);
  EIGPICK_ITEM_FAULTS(8);
  EIGPICK_ITEM_FAULTS(9);
#undef EIGPICK_ITEM_FAULTS
  static_assert(Fault == none || Position <= 9,
                "an item after the ninth does not fit its format (type, kind or field)");
}

// Where the first value of each item falls in the list of values.
template <typename... Items>
constexpr std::array<std::size_t, sizeof...(Items)> first_values() {
  std::array<std::size_t, sizeof...(Items)> firsts{};
  [[maybe_unused]] std::size_t next = 0;
  [[maybe_unused]] std::size_t i = 0;
  ((firsts[i++] = next, next += item_shape_of<Items>::count), ...);
  return firsts;
}

template <format_text Text, bool Writing, typename... Items>
constexpr item_problem problem_of() {
  if constexpr (!format<Text>.ok()) {
    return {};  // the format's own error is the one to read
  } else {
    return check_items(plan<Text>, std::array<item_info, sizeof...(Items)>{info_of<Items>()...},
                       Writing);
  }
}

}  // namespace compile_time

namespace engine {

// What a statement performs between its value `index` - 1 and value `index`
// of one pass over the fields: at the first value of a later pass, the end of
// the format, a new record, and the start of the format again.
template <auto& Plan, std::size_t Index>
struct before_value {
  static constexpr std::size_t fields = std::remove_cvref_t<decltype(Plan)>::field_count;
  static constexpr std::size_t field = Index % fields;
  static constexpr bool reverts = Index != 0 && field == 0;
  static constexpr std::int32_t records =
      Plan.between[field].records + (reverts ? Plan.between[fields].records + 1 : 0);
};

// What a statement of `Values` values performs after the last: up to the next
// field, or to the end of the format when the last value took its last field.
template <auto& Plan>
constexpr const between_fields& after_values(std::size_t values) {
  constexpr std::size_t fields = std::remove_cvref_t<decltype(Plan)>::field_count;
  if (values == 0 || fields == 0) return Plan.between[0];
  return Plan.between[values % fields == 0 ? fields : values % fields];
}

// The failures of statements, out of the way of the statements themselves.
[[noreturn, gnu::noinline, gnu::cold]] void raise_no_record(unit_table& units,
                                                            const statement_params& params,
                                                            const detail::input_channel& input,
                                                            detail::record_reader::status status);
[[noreturn, gnu::noinline, gnu::cold]] void raise_bad_field(
    unit_table& units, const statement_params& params, const detail::input_channel& input,
    condition bad_field, std::string_view field, std::int32_t first_column,
    detail::field_failure failure);
// A read statement as it runs: the unit's records, the current one at hand.
class record_input {
 public:
  record_input(unit_table& units, const statement_params& params)
      : units_(units), params_(params), input_(units.input(params)) {
    next_record();
  }

  void next_record() {
    const auto status = input_.next_record();
    if (status != detail::record_reader::status::record) [[unlikely]] {
      raise_no_record(units_, params_, input_, status);
    }
    record_ = input_.record();
  }

  template <auto& Plan, std::size_t First, typename Item>
  [[gnu::always_inline]] void take(Item& item) {
    if constexpr (!item_shape_of<Item>::spans) {
      take_value<Plan, First>(item);
    } else if constexpr (constexpr std::size_t count = item_shape_of<Item>::count;
                         is_row<Plan, First, count>()) {
      // Equal fields side by side, as a row of coefficients: the kind reads
      // them at once.
      constexpr format_item field = Plan.fields[First];
      using kind = field_kind<field.kind>;
      const std::string_view text = input_.field_at(record_, Plan.columns[First],
                                                    field.width * static_cast<std::int32_t>(count));
      const detail::row_result row =
          kind::template read_row<field, count>(text.data(), std::data(item), input_.shapes());
      if (row.converted != count) [[unlikely]] {
        const std::size_t bad = row.converted;
        raise_bad_field(units_, params_, input_, kind::bad_field,
                        text.substr(bad * static_cast<std::size_t>(field.width),
                                    static_cast<std::size_t>(field.width)),
                        Plan.columns[First + bad], row.failure);
      }
    } else {
      [&]<std::size_t... J>(std::index_sequence<J...>) {
        (take_value<Plan, First + J>(item[J]), ...);
      }
      (std::make_index_sequence<count>{});
    }
  }

  // Whether the record's columns from `first_column` on hold `text`; columns
  // past its end read as blanks.
  bool holds(std::int32_t first_column, std::string_view text) const {
    const auto start = static_cast<std::size_t>(first_column - 1);
    if (start + text.size() <= record_.size()) [[likely]] {
      return record_.substr(start, text.size()) == text;
    }
    const std::string_view there =
        start < record_.size() ? record_.substr(start) : std::string_view();
    return text.substr(0, there.size()) == there &&
           text.find_first_not_of(' ', there.size()) == std::string_view::npos;
  }

 private:
  // Values First to First + Count - 1 take equal fields side by side in one
  // record, in the first pass over the format, of a kind that reads rows.
  template <auto& Plan, std::size_t First, std::size_t Count>
  static constexpr bool is_row() {
    if (Count < 2 || First + Count > Plan.fields.size()) return false;
    if (!field_kind<Plan.fields[First % Plan.fields.size()].kind>::reads_rows) return false;
    const format_item& first = Plan.fields[First];
    for (std::size_t k = First; k < First + Count; ++k) {
      if (Plan.fields[k] != first || Plan.between[k].records != 0 ||
          Plan.columns[k] !=
              Plan.columns[First] + first.width * static_cast<std::int32_t>(k - First)) {
        return false;
      }
    }
    return first.width * static_cast<std::int32_t>(Count) <= max_field_width;
  }

  template <auto& Plan, std::size_t Index, typename Value>
  [[gnu::always_inline]] void take_value(Value& value) {
    using place = before_value<Plan, Index>;
    for (std::int32_t i = 0; i < place::records; ++i)
      next_record();
    constexpr format_item field = Plan.fields[place::field];
    constexpr std::int32_t column = Plan.columns[place::field];
    using kind = field_kind<field.kind>;
    const std::string_view text = input_.field_at(record_, column, field.width);
    if constexpr (field.kind == item_kind::character) {
      kind::template read<field>(text, value);
    } else {
      const auto result = kind::template read<field>(text, input_.shapes());
      if (result.failure != detail::field_failure::none) [[unlikely]] {
        raise_bad_field(units_, params_, input_, kind::bad_field, text, column, result.failure);
      }
      value = result.value;
    }
  }

  unit_table& units_;
  const statement_params& params_;
  detail::input_channel& input_;
  std::string_view record_;
};

// A write statement as it runs: its bytes gathered in the unit's buffer.
class record_output {
 public:
  record_output(unit_table& units, const statement_params& params)
      : units_(units), params_(params), output_(units.output(params)) {}

  char* reserve(std::size_t count) {
    char* const bytes = output_.reserve(count);
    if (bytes == nullptr) [[unlikely]] {
      units_.fail_write(params_.unit);
    }
    return bytes;
  }

  // Literal bytes and record ends, in pieces the buffer holds.
  void text(std::string_view bytes) {
    while (!bytes.empty()) {
      const std::size_t piece = std::min(bytes.size(), detail::output_capacity);
      std::memcpy(reserve(piece), bytes.data(), piece);
      bytes.remove_prefix(piece);
    }
  }
  void blanks(std::size_t count) {
    while (count != 0) {
      const std::size_t piece = std::min(count, detail::output_capacity);
      std::memset(reserve(piece), ' ', piece);
      count -= piece;
    }
  }
  template <auto& Plan>
  void between(const between_fields& part) {
    text(Plan.text_of(part));
  }

  // One value is a row of one for its kind's editor.
  template <format_item Field, typename Value>
  [[gnu::always_inline]] void edit(Value value, char* columns) {
    field_kind<Field.kind>::template write_row<Field>(&value, 1, columns);
  }

  template <auto& Plan, std::size_t Index, typename Value>
  void put_value(Value value) {
    using place = before_value<Plan, Index>;
    if constexpr (place::reverts) {
      between<Plan>(Plan.between[place::fields]);
      text("\n");
    }
    constexpr const between_fields& part = Plan.between[place::field];
    between<Plan>(part);
    if constexpr (part.blanks != 0) blanks(static_cast<std::size_t>(part.blanks));
    constexpr format_item field = Plan.fields[place::field];
    edit<field>(value, reserve(static_cast<std::size_t>(field.width)));
  }

  template <auto& Plan, std::size_t First, typename Item>
  void put(const Item& item) {
    if constexpr (!item_shape_of<Item>::spans) {
      put_value<Plan, First>(item);
    } else {
      [&]<std::size_t... J>(std::index_sequence<J...>) {
        (put_value<Plan, First + J>(item[J]), ...);
      }
      (std::make_index_sequence<item_shape_of<Item>::count>{});
    }
  }

  // A list whose length is known only while running, through a format whose
  // fields all take its kind.
  template <auto& Plan, typename Value>
  [[gnu::flatten]] void put_list(std::span<const Value> values) {
    using plan_type = std::remove_cvref_t<decltype(Plan)>;
    constexpr std::size_t fields = plan_type::field_count;
    if constexpr (is_one_field_repeated<Plan>() &&
                  fields * static_cast<std::size_t>(Plan.fields[0].width) <
                      detail::output_capacity) {
      // Such as "(12F10.5)": each record's columns are taken at once.
      constexpr format_item field = Plan.fields[0];
      constexpr auto width = static_cast<std::size_t>(field.width);
      for (std::size_t k = 0; k < values.size(); k += fields) {
        // Each record after the first begins with the end of the one before.
        const std::size_t ended = k != 0 ? 1 : 0;
        const std::size_t on_record = std::min(values.size() - k, fields);
        char* const columns = reserve(ended + on_record * width);
        columns[0] = '\n';  // or the first column, which the field then takes
        // A whole record's count is a constant, which lets its edit unroll.
        if (on_record == fields) {
          field_kind<field.kind>::template write_row<field>(values.data() + k, fields,
                                                            columns + ended);
        } else {
          field_kind<field.kind>::template write_row<field>(values.data() + k, on_record,
                                                            columns + ended);
        }
      }
    } else {
      for (std::size_t k = 0; k < values.size(); ++k) {
        const std::size_t field = k % fields;
        if (k != 0 && field == 0) {
          between<Plan>(Plan.between[fields]);
          text("\n");
        }
        between<Plan>(Plan.between[field]);
        blanks(static_cast<std::size_t>(Plan.between[field].blanks));
        put_field<Plan>(field, values[k]);
      }
    }
    between<Plan>(after_values<Plan>(values.size()));
  }

  // The statement's last record ends; its bytes wait with the others.
  void end() {
    *reserve(1) = '\n';
    if (!output_.end_statement()) [[unlikely]] {
      units_.fail_write(params_.unit);
    }
  }

 private:
  template <auto& Plan>
  static constexpr bool is_one_field_repeated() {
    for (std::size_t k = 0; k < Plan.fields.size(); ++k) {
      if (Plan.fields[k] != Plan.fields[0] || Plan.between[k].text_size != 0 ||
          Plan.between[k].blanks != 0) {
        return false;
      }
    }
    return Plan.between[Plan.fields.size()].text_size == 0;
  }

  // A field chosen while running, among the plan's fields.
  template <auto& Plan, typename Value, std::size_t... K>
  void put_field_of(std::size_t field, Value value, std::index_sequence<K...>) {
    ((field == K
          ? edit<Plan.fields[K]>(value, reserve(static_cast<std::size_t>(Plan.fields[K].width)))
          : void()),
     ...);
  }
  template <auto& Plan, typename Value>
  void put_field(std::size_t field, Value value) {
    put_field_of<Plan>(field, value, std::make_index_sequence<Plan.fields.size()>{});
  }

  unit_table& units_;
  const statement_params& params_;
  detail::output_channel& output_;
};

}  // namespace engine

// One whole read statement: the unit's next record becomes current, each item
// takes its field in list order (a span one field per value), and the statement
// carries the format on through skips and slashes to its next field or its end,
// dropping what is left of the record. Items are char arrays, 32-bit integers,
// 32-bit reals, or fixed-extent spans of them. The format, the items' kinds and
// every field's place are worked out while compiling; a format or an item list
// with a fault in it does not compile. A failure raises fatal_error, every unit
// closed by then.
template <format_text Text, typename... Items>
[[gnu::flatten]] void read(unit_table& units, const statement_params& params, Items&&... items) {
  constexpr item_problem problem = compile_time::problem_of<Text, false, Items...>();
  compile_time::name_the_item_fault<problem.fault, problem.position>();
  if constexpr (format<Text>.ok() && problem.fault == item_fault::none) {
    constexpr auto firsts = compile_time::first_values<Items...>();
    constexpr std::size_t values = (item_shape_of<Items>::count + ... + 0);
    engine::record_input input(units, params);
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      (input.template take<plan<Text>, firsts[I]>(items), ...);
    }
    (std::index_sequence_for<Items...>{});
    constexpr std::int32_t records_after = engine::after_values<plan<Text>>(values).records;
    for (std::int32_t i = 0; i < records_after; ++i)
      input.next_record();
  }
}

// A read statement that takes no item and only tests its record: the unit's
// next record is read and dropped as by `read`, with the same failures, and the
// answer is whether its columns from `first_column` on hold `text` exactly,
// columns past the record's end reading as blanks. A search over many records
// reads them so, without a format's items to fill.
inline bool record_holds(unit_table& units, const statement_params& params,
                         std::int32_t first_column, std::string_view text) {
  const engine::record_input input(units, params);
  return input.holds(first_column, text);
}

// One whole write statement: a new record begins, each item is edited into its
// field in list order, the format is carried on through literals, skips and
// slashes to its next field or its end, and the last record ends; the records
// wait with the unit's others until the run reads on, the buffer is full or the
// unit is closed, and then reach the file. Items are 32-bit integers and reals,
// fixed-extent spans of them, or one span of reals of any length as the only
// item. Checked while compiling like `read`; a fixed list must also give every
// field of one pass over the format an item. A failure raises fatal_error, the
// file cut back to the records of the statements the file took whole.
template <format_text Text, typename... Items>
void write(unit_table& units, const statement_params& params, const Items&... items) {
  constexpr item_problem problem = compile_time::problem_of<Text, true, Items...>();
  compile_time::name_the_item_fault<problem.fault, problem.position>();
  if constexpr (format<Text>.ok() && problem.fault == item_fault::none) {
    engine::record_output output(units, params);
    if constexpr (sizeof...(Items) == 1 && (item_shape_of<Items>::any_length && ...)) {
      (output.template put_list<plan<Text>>(std::span<const float>(items)), ...);
    } else {
      constexpr auto firsts = compile_time::first_values<Items...>();
      constexpr std::size_t values = (item_shape_of<Items>::count + ... + 0);
      [&]<std::size_t... I>(std::index_sequence<I...>) {
        (output.template put<plan<Text>, firsts[I]>(items), ...);
      }
      (std::index_sequence_for<Items...>{});
      output.template between<plan<Text>>(engine::after_values<plan<Text>>(values));
    }
    output.end();
  }
}

}  // namespace records
