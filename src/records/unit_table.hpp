#pragma once

#include <fcntl.h>
#include <signal.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

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

// The one way a unit moves records, declared when it is connected.
enum class direction : std::uint8_t { read, write };

// The memory of a table's units: a set of buffers for each unit that may be
// connected at once, never initialised, and touched only where a unit fills it.
struct alignas(4096) unit_memory {  // NOLINT(cppcoreguidelines-pro-type-member-init)
  std::array<std::byte, detail::max_units * sizeof(detail::unit_buffers)> bytes;
};

// The connected units, keyed by unit number; the run owns one table for its
// whole life. Connecting allocates nothing. Destroying the table closes every
// unit still connected. A table holds no state but its own: tables in
// different threads work apart. While a table exists, SIGPIPE and SIGXFSZ are
// blocked in the thread that made it, and those its writes raise are taken
// before it goes, so that a reader that went away or a file size limit is a
// refused write, never a signal to the process that holds the table.
namespace engine {
class record_input;
class record_output;
}  // namespace engine

class unit_table {  // NOLINT(cppcoreguidelines-pro-type-member-init): see states_
 public:
  // Files are named from the working directory, or from the directory open as
  // `directory` (a descriptor the caller keeps open while the table is in use).
  // The units' buffers are in `memory`, which the caller keeps for the table's
  // life, or in memory of the table's own.
  unit_table();
  explicit unit_table(unit_memory& memory, int directory = AT_FDCWD);
  ~unit_table();
  unit_table(const unit_table&) = delete;
  unit_table& operator=(const unit_table&) = delete;

  // Connects the unit named in `params` to the file `file_name`, for `use`
  // only. A file to read is opened read-only, an absent one created empty (a
  // symbolic link to nothing is refused, never made real); a file to write is
  // opened write-only and created when absent, never cut by opening (its first
  // write statement replaces its contents). A FIFO or device opens here as
  // well, waiting for its peer. A regular file to write is locked for as long
  // as the unit is connected: a second process connecting it waits until the
  // first has ended. A file already connected to another unit, however its
  // name leads there (device and inode, or an overlay's layer file), is
  // refused; a file to write that is this process's standard output or error,
  // open there for writing, is written through that descriptor, in its mode,
  // and never cut.
  void st_open(const statement_params& params, std::string_view file_name, direction use);

  // Disconnects a unit. A regular file that was read must be as it was when it
  // was first read, or the unit's last statement fails: what was read may mix
  // two versions of the file. A FIFO or socket that was read is read to its end
  // once every file to write is closed, so that its writer never finds the
  // reader gone and never holds back the output. Connecting a unit again
  // closes its earlier connection without these checks.
  void st_close(std::int32_t unit);

  // The normal end of a run: closes every unit as st_close does, so that all
  // output is in its file. A close the system refuses is fatal: records may be
  // lost.
  void stop_string();

  // The next statement on the unit reads its current record again.
  void st_backspace(std::int32_t unit);

  // Ends the run after a unit's file refused its records: the report names the
  // statement whose bytes it refused.
  [[noreturn, gnu::noinline, gnu::cold]] void fail_write(std::int32_t unit);

  // Ends the run after a statement's failure: the error is given the
  // statement's source, line, unit and file, every unit is closed (all that was
  // written stays in its file), and the error unwinds to the process entry.
  [[noreturn, gnu::noinline, gnu::cold]] void fail(const statement_params& params,
                                                   fatal_error error);

 private:
  // Statements as they run reach the units' channels; nothing else does.
  friend class engine::record_input;
  friend class engine::record_output;

  // What a statement reads or writes through: the unit named in `params`, which
  // remembers the statement for later reports. A unit not connected is fatal.
  // The records that write statements gather reach their files before any read
  // statement begins, so that what a run has written is out before it reads on.
  // Before the first write statement on a unit, every file that was read must
  // still be as it was first read.
  detail::input_channel& input(const statement_params& params) {
    if (attention_needed_) [[unlikely]] {
      prepare_to_read();
    }
    return unit_for(params).input;
  }
  detail::output_channel& output(const statement_params& params) {
    detail::unit& unit = unit_for(params);
    if (!unit.written) [[unlikely]] {
      prepare_to_write(unit);
    }
    attention_needed_ = true;
    unit.output.begin_statement(params.statement_line);
    return unit.output;
  }

  void block_write_signals();
  detail::unit* slot(std::size_t index) { return states_.slot(index); }
  // A slot whose unit is connected: in use, and not only waiting to be read to
  // its end.
  bool connected(std::size_t index) { return in_use_[index] && !slot(index)->awaiting_drain; }
  detail::unit& unit_for(const statement_params& params) {
    detail::unit* unit = last_used_;
    if (unit == nullptr || unit->number != params.unit) [[unlikely]] {
      unit = &find_for(params);
    }
    unit->statement_line = params.statement_line;
    return *unit;
  }
  detail::unit* find(std::int32_t number);
  [[gnu::noinline]] detail::unit& find_for(const statement_params& params);
  [[noreturn, gnu::noinline, gnu::cold]] void raise_not_connected(const statement_params& params);
  // A free slot for `number`, after closing any earlier connection of it.
  detail::unit& prepare(const statement_params& params, std::string_view file_name);
  int open_file_for_use(const statement_params& params, detail::unit& unit);
  bool identify_by_name(detail::unit& unit) const;
  void refuse_second_connection(const statement_params& params, const detail::unit& unit);
  void take_standard_stream(detail::unit& unit);
  void close_unit(std::size_t index);
  [[gnu::noinline]] void prepare_to_read();
  [[gnu::noinline]] void prepare_to_write(detail::unit& written);
  void check_unchanged(const detail::unit& unit);
  // The failures of opening and closing, built out of the way of the calls
  // that meet them.
  [[noreturn, gnu::noinline, gnu::cold]] void raise_open_error(
      const statement_params& params, std::string_view file_name, int error_number,
      const detail::unit* same_file_as = nullptr);
  [[noreturn, gnu::noinline, gnu::cold]] void raise_dangling_link(const statement_params& params,
                                                                  std::string_view file_name,
                                                                  std::string_view target);
  [[noreturn, gnu::noinline, gnu::cold]] void raise_unit_error(const detail::unit& unit,
                                                               condition what_happened,
                                                               std::int32_t statement_line,
                                                               int error_number);
  // Ends a unit's connection and frees its slot; returns 0, or why the system
  // refused to close the descriptor.
  int release(std::size_t index);
  [[noreturn]] void raise(fatal_error error);
  // Closes every unit, files to write first; returns 0 or the first reason a
  // close was refused, which adds nothing a user could act on after a fatal
  // error: every ended record has already reached its file. Peers are read to
  // their end now, or, with a `failure` on its way, handed to it to be read
  // once it is reported.
  int abandon_all(fatal_error* failure);

  // Never initialised as a whole: a unit's state is touched only once it is
  // connected there.
  std::array<bool, detail::max_units> in_use_{};
  detail::unit* last_used_ = nullptr;  // the unit of the last statement
  // A write statement ran, or a file to read was connected, since the last
  // read statement began.
  bool attention_needed_ = false;
  int directory_ = AT_FDCWD;
  std::unique_ptr<unit_memory> own_memory_;
  std::span<std::byte> memory_;
  sigset_t signals_before_{};  // the thread's mask when the table was made
  sigset_t pending_before_{};  // of SIGPIPE and SIGXFSZ, those pending then
  detail::state_storage states_;
};

}  // namespace records
