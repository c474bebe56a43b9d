#pragma once

#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "records/detail/format_cursor.hpp"
#include "records/detail/input_editing.hpp"
#include "records/detail/input_record.hpp"
#include "records/detail/output_editing.hpp"
#include "records/detail/statement_plan.hpp"
#include "records/detail/unit.hpp"
#include "records/fatal_error.hpp"
#include "records/format.hpp"
#include "records/unit_table.hpp"

namespace records {

// A read statement: constructing it is st_read (the unit's next record becomes
// current), then one transfer per item in list order, then st_read_done, which
// carries the format on to its next field or its end and drops what is left of
// the record. A failure raises fatal_error; every unit is closed by then.
class read_statement : private detail::input_record {
 public:
  read_statement(unit_table& units, const statement_params& params, format_view format)
      : input_record(units, params), cursor_(format) {}

  void transfer_character(std::span<char> item);
  void transfer_integer(std::int32_t& item);
  void transfer_real(float& item);
  void st_read_done() { cursor_.finish(*this); }

 private:
  friend class detail::format_cursor;

  // What a skip, a slash and a literal do on input.
  void skip(std::int32_t columns) { column_ += columns; }
  void next_record() {
    input_record::next_record();
    column_ = 1;
  }
  void literal(std::string_view text) { column_ += static_cast<std::int64_t>(text.size()); }
  [[noreturn]] void mismatch(item_kind wanted, const format_item* met);

  std::string_view take_field(std::int32_t width) {
    const std::string_view text = field_at(record(), column_, width);
    column_ += width;
    return text;
  }

  detail::format_cursor cursor_;
  std::int64_t column_ = 1;  // 1-based position in the current record
};

// A write statement: constructing it is st_write (a new, empty record begins),
// then one transfer per item, then st_write_done, which carries the format on to
// its next field or its end, ends the record and hands the statement's records
// to the file. The first write statement on a unit also cuts away whatever the
// file held after the records it wrote. A write the system refuses is fatal, and
// the file is cut back to the end of the statement before.
class write_statement {
 public:
  write_statement(unit_table& units, const statement_params& params, format_view format);
  write_statement(const write_statement&) = delete;
  write_statement& operator=(const write_statement&) = delete;

  void transfer_integer_write(std::int32_t item);
  void transfer_real_write(float item);
  void st_write_done();

 private:
  friend class detail::format_cursor;
  template <format_text Text>
  friend class typed_write_statement;

  // The transfer of a real item to a format that is one F field repeated, such
  // as "(12F10.5)", its shape known while compiling: the item is edited straight
  // into its columns, and every `PerRecord` items the record ends, as reversion
  // would end it. The cursor stays at the first field, where the statement's end
  // finds nothing to carry out.
  template <std::size_t Width, std::size_t Decimals, std::size_t PerRecord>
  void transfer_repeated_real(float item) {
    if (repeated_in_record_ == PerRecord) {
      next_record();
      repeated_in_record_ = 0;
    }
    detail::write_real_field<Width, Decimals>(item, reserve(Width));
    ++repeated_in_record_;
  }

  // The same for a whole list: each record's columns are taken at once and the
  // items edited into them one after another.
  template <std::size_t Width, std::size_t Decimals, std::size_t PerRecord, typename Item>
  void transfer_repeated_reals(std::size_t count, Item item) {
    static_assert(PerRecord * Width <= detail::output_capacity);
    for (std::size_t k = 0; k < count;) {
      if (repeated_in_record_ == PerRecord) {
        next_record();
        repeated_in_record_ = 0;
      }
      const std::size_t on_record = std::min(count - k, PerRecord - repeated_in_record_);
      char* columns = reserve(on_record * Width);
      for (const std::size_t end = k + on_record; k != end; ++k, columns += Width)
        detail::write_real_field<Width, Decimals>(item(k), columns);
      repeated_in_record_ += on_record;
    }
  }

  void skip(std::int32_t columns) { column_ += columns; }
  void next_record();
  void literal(std::string_view text);
  [[noreturn]] void mismatch(item_kind wanted, const format_item* met);

  std::span<char> next_columns(std::size_t width);
  // The next `count` bytes of output, count <= output_capacity; what was gathered
  // goes to the file first when there is no room.
  char* reserve(std::size_t count) {
    if (count > detail::output_capacity - unit_.output_size) [[unlikely]] {
      hand_to_file();
    }
    char* bytes = unit_.output + unit_.output_size;
    unit_.output_size += count;
    return bytes;
  }
  void hand_to_file();
  void replace_old_contents();
  [[noreturn]] void raise_refused_write(std::string_view reason);
  [[noreturn]] void raise_write_failure(std::string_view reason, std::string_view note = {});

  unit_table& units_;
  detail::unit& unit_;
  statement_params params_;
  detail::format_cursor cursor_;
  std::int64_t column_ = 1;             // 1-based position in the record under construction
  std::int64_t record_length_ = 0;      // columns placed in it so far
  std::int64_t handed_bytes_ = 0;       // bytes the statement has handed to the file
  std::size_t output_left_ = 0;         // bytes of the current hand-over not yet written
  std::size_t repeated_in_record_ = 0;  // items of a repeated field in this record
};

namespace detail {
// compare_string for texts of different lengths.
int compare_padded(std::string_view first, std::string_view second);
}  // namespace detail

// Negative, zero or positive as `first` sorts before, equal to or after `second`,
// bytes compared unsigned, the shorter text taken as padded with blanks.
inline int compare_string(std::string_view first, std::string_view second) {
  // Texts of one length, such as four-character labels, compare byte for byte.
  if (first.size() == second.size()) {
    for (std::size_t i = 0; i < first.size(); ++i) {
      const auto a = static_cast<unsigned char>(first[i]);
      const auto b = static_cast<unsigned char>(second[i]);
      if (a != b) return a < b ? -1 : 1;
    }
    return 0;
  }
  return detail::compare_padded(first, second);
}

namespace detail {

inline void transfer(write_statement& statement, std::int32_t item) {
  statement.transfer_integer_write(item);
}
inline void transfer(write_statement& statement, float item) {
  statement.transfer_real_write(item);
}
template <typename T, std::size_t N>
void transfer(write_statement& statement, std::span<T, N> items) {
  for (const T item : items)
    transfer(statement, item);
}

}  // namespace detail

// One whole read statement on a fixed list of items: st_read, a transfer per
// item, st_read_done. Items are arrays of characters, 32-bit integers, 32-bit
// reals, or fixed-extent spans of them. The format is parsed, the items' kinds are
// checked against its fields and every field's place is worked out while
// compiling, so the statement only finds its records and converts its fields.
template <format_text Text, typename... Items>
[[gnu::flatten]] void read(unit_table& units, const statement_params& params, Items&&... items) {
  static constexpr auto plan =
      detail::plan_read(format<Text>.view(), detail::flat_kinds<Items...>());
  static_assert(plan.items_match, "the items do not match the fields of the format");
  detail::input_record statement(units, params);
  statement.read_planned<plan>(std::forward<Items>(items)...);
}

// One whole write statement on a fixed list of items (32-bit integers, 32-bit
// reals, fixed-extent spans of them), checked against the format while compiling
// like `read`.
template <format_text Text, typename... Items>
void write(unit_table& units, const statement_params& params, const Items&... items) {
  static constexpr auto plan =
      detail::plan_read(format<Text>.view(), detail::flat_kinds<Items...>());
  static_assert(plan.items_match, "the items do not match the fields of the format");
  write_statement statement(units, params, format<Text>.view());
  (detail::transfer(statement, items), ...);
  statement.st_write_done();
}

// A write statement whose item list is not fixed, its format parsed while
// compiling: each transfer checks, while compiling, that every field of the
// format is of the item's kind. A format of one repeated field, such as
// "(12F10.5)", has each item edited straight into its place.
template <format_text Text>
class typed_write_statement {
 public:
  typed_write_statement(unit_table& units, const statement_params& params)
      : statement_(units, params, format_) {}

  void transfer_integer_write(std::int32_t item) {
    static_assert(detail::every_field_is(format_, item_kind::integer),
                  "an integer item needs a format whose every field is an I field");
    statement_.transfer_integer_write(item);
  }
  void transfer_real_write(float item) {
    static_assert(detail::every_field_is(format_, item_kind::real),
                  "a real item needs a format whose every field is an F field");
    if constexpr (repeated_.per_record != 0) {
      statement_.transfer_repeated_real<static_cast<std::size_t>(repeated_.field.width),
                                        static_cast<std::size_t>(repeated_.field.decimals),
                                        repeated_.per_record>(item);
    } else {
      statement_.transfer_real_write(item);
    }
  }
  // `count` reals in order, the k-th (from 0) given by item(k).
  template <typename Item>
  void transfer_real_write(std::size_t count, Item item) {
    static_assert(std::is_same_v<std::invoke_result_t<const Item&, std::size_t>, float>,
                  "item(k) gives the k-th real");
    static_assert(detail::every_field_is(format_, item_kind::real),
                  "real items need a format whose every field is an F field");
    if constexpr (repeated_.per_record != 0) {
      statement_.transfer_repeated_reals<static_cast<std::size_t>(repeated_.field.width),
                                         static_cast<std::size_t>(repeated_.field.decimals),
                                         repeated_.per_record>(count, item);
    } else {
      for (std::size_t k = 0; k < count; ++k)
        statement_.transfer_real_write(item(k));
    }
  }
  void st_write_done() { statement_.st_write_done(); }

 private:
  static constexpr format_view format_ = format<Text>.view();
  static constexpr detail::repeated_field repeated_ = detail::repetition_of(format_);
  write_statement statement_;
};

// One whole write statement on `count` reals, the k-th (from 0) given by
// item(k); every field of the format must be an F field, which is checked while
// compiling.
template <format_text Text, typename Item>
void write_each(unit_table& units, const statement_params& params, std::size_t count, Item item) {
  typed_write_statement<Text> statement(units, params);
  statement.transfer_real_write(count, item);
  statement.st_write_done();
}

// The first call of a write statement whose items are not a fixed list.
template <format_text Text>
typed_write_statement<Text> st_write(unit_table& units, const statement_params& params) {
  return {units, params};
}

}  // namespace records
