#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "records/detail/input_editing.hpp"
#include "records/detail/statement_plan.hpp"
#include "records/detail/unit.hpp"
#include "records/fatal_error.hpp"
#include "records/unit_table.hpp"

namespace records::detail {

// What every read statement holds: its unit, what identifies it in reports, and
// the current record. Constructing it makes the unit's next record current.
// On its own it performs the statements planned while compiling (records::read),
// which take each field from its known place without walking the format.
class input_record {
 public:
  input_record(unit_table& units, const statement_params& params)
      : units_(units), unit_(units.unit_for(params)), params_(params) {
    next_record();
  }
  input_record(const input_record&) = delete;
  input_record& operator=(const input_record&) = delete;

  // The unit's next record becomes current; there must be one.
  void next_record() {
    const auto status = unit_.reader.next_record();
    if (status != record_reader::status::record) [[unlikely]] {
      raise_no_record(status);
    }
    record_ = unit_.reader.record();
  }

  std::string_view record() const { return record_; }

  // The items of a statement planned while compiling, then the records its end
  // begins. The record is kept in a local view, so that the fields of one record
  // are taken without going back to the statement for it.
  template <auto Plan, typename... Items>
  void read_planned(Items&&... items) {
    constexpr auto firsts = first_elements<Items...>();
    std::string_view record = record_;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      (transfer_planned<Plan, firsts[I]>(record, items), ...);
    }
    (std::index_sequence_for<Items...>{});
    for (std::int32_t i = 0; i < Plan.records_after; ++i)
      next_record();
  }

  // The `width` columns of `record` from `column` on: a view into the record, or
  // a copy completed with blanks where the record ends first.
  std::string_view field_at(std::string_view record, std::int64_t column, std::int32_t width) {
    const auto start = static_cast<std::uint64_t>(column - 1);
    const auto count = static_cast<std::size_t>(width);
    if (start + count <= record.size()) [[likely]] {
      return record.substr(static_cast<std::size_t>(start), count);
    }
    return padded_field(
        record, static_cast<std::size_t>(std::min<std::uint64_t>(start, record.size())), count);
  }

  [[noreturn, gnu::noinline, gnu::cold]] void raise_bad_field(condition what_happened,
                                                              std::string_view field,
                                                              std::int64_t first_column,
                                                              field_failure failure);

 protected:
  fatal_error error_of(condition what_happened) const;
  [[noreturn]] void raise(const fatal_error& error) { units_.raise(error); }

 private:
  template <auto Plan, std::size_t First, typename T>
  [[gnu::always_inline]] void transfer_planned(std::string_view& record, T& item) {
    if constexpr (is_span<std::remove_cv_t<T>>) {
      [&]<std::size_t... J>(std::index_sequence<J...>) {
        (take_planned<Plan.fields[First + J]>(record, item[J]), ...);
      }
      (std::make_index_sequence<T::extent>{});
    } else {
      take_planned<Plan.fields[First]>(record, item);
    }
  }

  template <planned_field Place, typename T>
  [[gnu::always_inline]] void take_planned(std::string_view& record, T& item) {
    if constexpr (Place.records_before != 0) {
      for (std::int32_t i = 0; i < Place.records_before; ++i)
        next_record();
      record = record_;
    }
    const std::string_view text = field_at(record, Place.column, Place.field.width);
    if constexpr (Place.field.kind == item_kind::character) {
      read_character_field(text, item);
    } else if constexpr (Place.field.kind == item_kind::integer) {
      const auto result = read_integer_field<static_cast<std::size_t>(Place.field.width)>(text);
      if (result.failure != field_failure::none) [[unlikely]] {
        raise_bad_field(condition::bad_integer, text, Place.column, result.failure);
      }
      item = result.value;
    } else {
      const auto result =
          read_real_field<static_cast<std::size_t>(Place.field.width), Place.field.decimals>(text);
      if (result.failure != field_failure::none) [[unlikely]] {
        raise_bad_field(condition::bad_real, text, Place.column, result.failure);
      }
      item = result.value;
    }
  }

  [[gnu::noinline]] std::string_view padded_field(std::string_view record, std::size_t start,
                                                  std::size_t width);
  [[noreturn, gnu::noinline, gnu::cold]] void raise_no_record(record_reader::status status);

  unit_table& units_;
  unit& unit_;
  statement_params params_;
  std::string_view record_;
};

}  // namespace records::detail
