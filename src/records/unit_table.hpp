#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "records/detail/unit.hpp"
#include "records/fatal_error.hpp"

namespace records {

// What identifies a statement in reports: its unit, the program's name and the
// statement line. Texts carry their length.
struct statement_params {
  std::int32_t unit = 0;
  std::string_view source;  // the program's name
  std::int32_t statement_line = 0;
};

class read_statement;
class write_statement;
namespace detail {
class input_record;
}  // namespace detail

// The connected units, keyed by unit number; the run owns one table for its
// whole life. Connecting allocates nothing. Destroying the table closes every
// unit still connected.
class unit_table {  // NOLINT(cppcoreguidelines-pro-type-member-init): see storage_
 public:
  unit_table() = default;  // NOLINT(cppcoreguidelines-pro-type-member-init)
  ~unit_table();
  unit_table(const unit_table&) = delete;
  unit_table& operator=(const unit_table&) = delete;

  // Connects the unit named in `params` to the file `file_name` in the working
  // directory. An existing regular file is opened unchanged at its first record,
  // an absent one is created empty; a file that may only be read (or only
  // written) still opens. Any other file (a FIFO, a device) is opened at its
  // first use, in that direction only. A file already connected to another unit,
  // however its name leads there, is refused.
  void st_open(const statement_params& params, std::string_view file_name);

  // The normal end of a run: closes every unit, so that all output is in its
  // file. A close the system refuses is fatal: records may be lost.
  void stop_string();

  bool is_connected(std::int32_t unit) const { return find(unit) != nullptr; }

 private:
  friend class detail::input_record;
  friend class write_statement;

  enum class direction { reading, writing };

  detail::unit* slot(std::size_t index) { return states_.slot(index); }
  const detail::unit* slot(std::size_t index) const {
    return const_cast<detail::state_storage&>(states_).slot(index);
  }
  const detail::unit* find(std::int32_t number) const {
    for (std::size_t i = 0; i < detail::max_units; ++i) {
      if (in_use_[i] && slot(i)->number == number) return slot(i);
    }
    return nullptr;
  }
  detail::unit* find(std::int32_t number) {
    return const_cast<detail::unit*>(std::as_const(*this).find(number));
  }
  // The statement's unit, opened for its direction if it waited for its first use.
  detail::unit& unit_for(const statement_params& params, direction use) {
    detail::unit* unit = find(params.unit);
    if (unit == nullptr || unit->opens_on_first_use) [[unlikely]] {
      return first_use(params, use);
    }
    return *unit;
  }
  [[gnu::noinline]] detail::unit& first_use(const statement_params& params, direction use);
  // A free slot for `number`, after closing any earlier connection of it.
  detail::unit& prepare(const statement_params& params, std::string_view file_name);
  void refuse_second_connection(const statement_params& params, const detail::unit& unit);
  // The one way out after a failure: every unit is closed (all that was written
  // stays in its file), then the error unwinds to the process entry.
  [[noreturn]] void raise(const fatal_error& error);
  // Closes every unit; a failing close adds nothing a user could act on after a
  // fatal error, and every ended record has already reached its file.
  void abandon_all();

  // Never initialised as a whole: a unit's state and pages are touched only once
  // it is connected there. The states come last, so that on the stack they
  // share the page of the frame above them.
  detail::buffer_storage buffers_;
  std::array<bool, detail::max_units> in_use_{};
  detail::state_storage states_;
};

}  // namespace records
