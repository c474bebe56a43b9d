#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "records/detail/format_cursor.hpp"
#include "records/format.hpp"

namespace records::detail {

// The kind of field an item takes: characters, a 32-bit integer, a 32-bit real;
// skip stands for "no item".
template <typename T>
inline constexpr item_kind kind_of = item_kind::skip;
template <std::size_t N>
inline constexpr item_kind kind_of<std::array<char, N>> = item_kind::character;
template <>
inline constexpr item_kind kind_of<std::int32_t> = item_kind::integer;
template <>
inline constexpr item_kind kind_of<float> = item_kind::real;

// An item list names single items and fixed-extent spans of them, one item per
// element.
template <typename T>
struct item_list {
  static constexpr std::size_t count = 1;
  static constexpr item_kind kind = kind_of<std::remove_cv_t<T>>;
};
template <typename T, std::size_t N>
struct item_list<std::span<T, N>> {
  static_assert(N != std::dynamic_extent, "an item list has a fixed length");
  static constexpr std::size_t count = N;
  static constexpr item_kind kind = kind_of<std::remove_cv_t<T>>;
};

template <typename T>
inline constexpr bool is_span = false;
template <typename T, std::size_t N>
inline constexpr bool is_span<std::span<T, N>> = true;

template <typename... Items>
inline constexpr std::size_t item_count = (item_list<std::remove_cvref_t<Items>>::count + ... + 0);

// Where the first element of each item falls in the flat list of items.
template <typename... Items>
constexpr std::array<std::size_t, sizeof...(Items)> first_elements() {
  std::array<std::size_t, sizeof...(Items)> firsts{};
  [[maybe_unused]] std::size_t next = 0;
  [[maybe_unused]] std::size_t i = 0;
  ((firsts[i++] = next, next += item_list<std::remove_cvref_t<Items>>::count), ...);
  return firsts;
}

template <typename... Items>
constexpr std::array<item_kind, item_count<Items...>> flat_kinds() {
  std::array<item_kind, item_count<Items...>> kinds{};
  [[maybe_unused]] std::size_t next = 0;
  ((std::fill_n(kinds.begin() + static_cast<std::ptrdiff_t>(next),
                item_list<std::remove_cvref_t<Items>>::count,
                item_list<std::remove_cvref_t<Items>>::kind),
    next += item_list<std::remove_cvref_t<Items>>::count),
   ...);
  return kinds;
}

// Where one item's field lies: how many records begin before it, its first
// column in the record it is in, and the field itself.
struct planned_field {
  std::int32_t records_before = 0;
  std::int64_t column = 1;
  format_item field;
};

// A read statement on a fixed list of items, worked out while compiling by
// walking the format with the same cursor that statements use at run time.
template <std::size_t Items>
struct read_plan {
  std::array<planned_field, Items> fields{};
  std::int32_t records_after = 0;  // records the end of the statement begins
  bool items_match = true;         // every item met a field of its own kind
};

// The statement side the cursor drives while planning: it only counts.
struct planning_side {
  std::int32_t records = 0;
  std::int64_t column = 1;
  bool mismatched = false;

  constexpr void skip(std::int32_t columns) { column += columns; }
  constexpr void next_record() {
    ++records;
    column = 1;
  }
  constexpr void literal(std::string_view text) {
    column += static_cast<std::int64_t>(text.size());
  }
  constexpr void mismatch(item_kind, const format_item*) { mismatched = true; }
};

// A format without fields (or an item of the wrong kind) stops the plan: the
// statement would fail at that item, and the plan says it does not match.
template <std::size_t Items>
constexpr read_plan<Items> plan_read(format_view format,
                                     const std::array<item_kind, Items>& kinds) {
  read_plan<Items> plan;
  format_cursor cursor(format);
  planning_side side;
  for (std::size_t i = 0; i < Items; ++i) {
    if (!format.has_field) {
      plan.items_match = false;
      return plan;
    }
    const std::int32_t records = side.records;
    const format_item& field = cursor.next_field(side, kinds[i]);
    if (side.mismatched) {
      plan.items_match = false;
      return plan;
    }
    plan.fields[i] = {side.records - records, side.column, field};
    side.column += field.width;
  }
  const std::int32_t records = side.records;
  cursor.finish(side);
  plan.records_after = side.records - records;
  return plan;
}

// Whether every field of a format is of one kind: a statement whose item list
// is not fixed may then take any number of items of that kind.
constexpr bool every_field_is(format_view format, item_kind kind) {
  if (!format.has_field) return false;
  for (std::size_t i = 0; i < format.size; ++i) {
    if (format.items[i].is_field() && format.items[i].kind != kind) return false;
  }
  return true;
}

// A format that is one field repeated, nothing else, such as "(12F10.5)": each
// item takes the next `width` columns, and every `per_record` items the record ends.
struct repeated_field {
  format_item field;
  std::size_t per_record = 0;  // 0: the format is not of this shape
};

constexpr repeated_field repetition_of(format_view format) {
  if (format.size == 0) return {};
  for (std::size_t i = 0; i < format.size; ++i) {
    if (!format.items[i].is_field() || format.items[i] != format.items[0]) return {};
  }
  return {format.items[0], format.size};
}

}  // namespace records::detail
