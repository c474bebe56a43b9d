#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "records/format.hpp"

namespace records {

// What an item of a statement holds: characters, a signed 32-bit integer or a
// 32-bit real. Every other type is `none`: no field takes it.
enum class value_kind : std::uint8_t { none, character, integer, real };

template <typename T>
inline constexpr value_kind value_kind_of = value_kind::none;
template <std::size_t N>
inline constexpr value_kind value_kind_of<std::array<char, N>> = value_kind::character;
// A label declared as it is in C, `char label[4]`, is one character value too.
template <std::size_t N>
inline constexpr value_kind value_kind_of<char[N]> = value_kind::character;
template <>
inline constexpr value_kind value_kind_of<std::int32_t> = value_kind::integer;
template <>
inline constexpr value_kind value_kind_of<float> = value_kind::real;

// An item is one value or a span of them, each value one item of the list. A
// span whose length is known only while running is a list of any length.
template <typename T>
struct item_shape {
  using value = T;
  static constexpr bool spans = false;
  static constexpr std::size_t count = 1;
  static constexpr bool any_length = false;
};
template <typename T, std::size_t N>
struct item_shape<std::span<T, N>> {
  using value = std::remove_cv_t<T>;
  static constexpr bool spans = true;
  static constexpr std::size_t count = N == std::dynamic_extent ? 0 : N;
  static constexpr bool any_length = N == std::dynamic_extent;
};
// A built-in array of numbers, `std::int32_t roots[4]` or `float values[6]`,
// is a span of them; one of characters is one value (above).
template <typename T, std::size_t N>
requires(!std::is_same_v<std::remove_cv_t<T>, char>) struct item_shape<T[N]> {
  using value = std::remove_cv_t<T>;
  static constexpr bool spans = true;
  static constexpr std::size_t count = N;
  static constexpr bool any_length = false;
};
template <typename T>
using item_shape_of = item_shape<std::remove_cvref_t<T>>;

template <typename T>
inline constexpr value_kind item_kind_of = value_kind_of<typename item_shape_of<T>::value>;

// A type a statement can move through a field.
template <typename T>
concept record_item = item_kind_of<T>
!= value_kind::none;

// What a statement does between two fields of its format, or between its start
// or end and the nearest field: the records it ends ("/"), and on output the
// bytes it writes (literals, the blanks a skip leaves before them, a newline
// for every record ended) and the blanks a skip leaves before the next field,
// which are written only when a field follows.
struct between_fields {
  std::int32_t records = 0;
  std::uint32_t text_at = 0;
  std::uint32_t text_size = 0;
  std::int32_t blanks = 0;
};

// A format worked out while compiling for statements that walk it: each field
// with its first column in its record, and what lies between the fields.
// `between[f]` leads to field f; `between[Fields]` runs from the last field to
// ")". A statement whose items outlast the fields starts again at the first
// field on a new record, so one pass over the format plans every item.
template <std::size_t Fields, std::size_t Bytes>
struct format_plan {
  std::array<format_item, Fields> fields{};
  std::array<std::int32_t, Fields> columns{};
  std::array<between_fields, Fields + 1> between{};
  std::array<char, Bytes> text{};

  static constexpr std::size_t field_count = Fields;
  constexpr std::string_view text_of(const between_fields& part) const {
    return {text.data() + part.text_at, part.text_size};
  }
};

namespace compile_time {

// Walks a format once as a statement would, from a new record at column 1,
// counting (Fill false) or filling a plan.
template <bool Fill, typename Plan, typename Format>
constexpr void walk_format(const Format& format, Plan& plan, std::size_t& fields,
                           std::size_t& bytes) {
  std::int32_t column = 1;   // where the next item goes
  std::int32_t written = 0;  // columns of the record holding something
  between_fields part;
  const auto emit = [&](char c) {
    if constexpr (Fill) plan.text[bytes] = c;
    ++bytes;
    ++part.text_size;
  };
  const auto blanks_to_column = [&] {
    for (; written < column - 1; ++written)
      emit(' ');
  };
  for (const format_item& item : format.items) {
    switch (item.kind) {
      case item_kind::skip:
        column += item.width;
        break;
      case item_kind::slash:
        ++part.records;
        emit('\n');
        column = 1;
        written = 0;
        break;
      case item_kind::literal:
        blanks_to_column();
        for (const char c : format.literal(item))
          emit(c);
        column += item.width;
        written = column - 1;
        break;
      case item_kind::character:
      case item_kind::integer:
      case item_kind::real:
        part.blanks = column - 1 - written;
        if constexpr (Fill) {
          plan.fields[fields] = item;
          plan.columns[fields] = column;
          plan.between[fields] = part;
        }
        ++fields;
        part = {0, static_cast<std::uint32_t>(bytes), 0, 0};
        column += item.width;
        written = column - 1;
        break;
    }
  }
  if constexpr (Fill) plan.between[fields] = part;
}

// The fields and the bytes of text of a format's plan.
template <auto& Format>
inline constexpr std::array<std::size_t, 2> plan_sizes = [] {
  std::size_t fields = 0;
  std::size_t bytes = 0;
  format_plan<0, 0> none;
  walk_format<false>(Format, none, fields, bytes);
  return std::array{fields, bytes};
}();

template <auto& Format>
consteval auto plan_format() {
  format_plan<plan_sizes<Format>[0], plan_sizes<Format>[1]> plan;
  std::size_t fields = 0;
  std::size_t bytes = 0;
  walk_format<true>(Format, plan, fields, bytes);
  return plan;
}

}  // namespace compile_time

// The plan of a format text, made while compiling.
template <format_text Text>
inline constexpr auto plan = compile_time::plan_format<format<Text>>();

}  // namespace records
