#pragma once

#include <filesystem>

#include "eigpick/eigpick.hpp"
#include "extract/run.hpp"
#include "records/fatal_error.hpp"

namespace eigpick {

struct error::parts {
  condition what_happened = condition::cannot_open;
  std::filesystem::path file;
  int unit = 0;
  std::int32_t statement_line = 0;
  std::int64_t record = 0;
  std::int64_t first_column = 0;
  std::int64_t last_column = 0;
  std::string field;
  std::string cause;
  std::string report;  // the one line the program prints
  // Peers of the run still to be read to their end: when the last copy of the
  // error goes, once its report is out.
  std::shared_ptr<records::unread_peers> peers;
};

namespace library {

// The error a library call throws for a failure of its run; `file` is the
// failed file as the caller can open it.
error error_of(const records::fatal_error& failure, std::filesystem::path file);

// The conversion in the job directory open as `directory` (AT_FDCWD: the
// working directory), in memory the caller gives (the program's run keeps its
// memory in static storage). A failure of the run unwinds as
// records::fatal_error, for the caller to report or to make its error of.
extract::outcome run_in(int directory, extract::run_memory& memory);

}  // namespace library
}  // namespace eigpick
