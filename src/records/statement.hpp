#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace records {

// What the caller passes to every call of one statement. Texts carry their length.
struct statement_params {
  std::int32_t unit = 0;
  std::string_view source;  // the program's name, for reports
  std::int32_t statement_line = 0;
  std::string_view text;  // the format; for st_open, the file name
};

// Connects the unit to the named file in the working directory: an existing file is
// opened unchanged at its first record, an absent one is created empty. A file that
// may only be read (or only written) still opens.
void st_open(const statement_params& params);

// A read statement: st_read, one transfer per item in list order, st_read_done.
// st_read makes the unit's next record current; the last call drops what is left of
// the record, after carrying the format on to its next field or its end.
void st_read(const statement_params& params);
void transfer_character(const statement_params& params, std::span<char> item);
void transfer_integer(const statement_params& params, std::int32_t& item);
void transfer_real(const statement_params& params, float& item);
void st_read_done(const statement_params& params);

// A write statement: st_write, one transfer per item, st_write_done. The records
// reach the file when the statement ends; the first write statement on a unit also
// cuts away whatever the file held after the records it wrote.
void st_write(const statement_params& params);
void transfer_integer_write(const statement_params& params, std::int32_t item);
void transfer_real_write(const statement_params& params, float item);
void st_write_done(const statement_params& params);

// Negative, zero or positive as `first` sorts before, equal to or after `second`,
// bytes compared unsigned, the shorter text taken as padded with blanks.
int compare_string(std::string_view first, std::string_view second);

// The normal end of a run: closes every unit, so that all output is in its file.
void stop_string();

}  // namespace records
