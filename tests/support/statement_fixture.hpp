#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "records/fatal_error.hpp"
#include "records/statement.hpp"
#include "support/scratch_directory.hpp"

namespace testing_support {

// Statements run in a scratch working directory on the fixture's unit table;
// units left connected by a test are closed when the table goes.
class statement_test : public testing::Test {
 protected:
  static records::statement_params statement(std::int32_t unit, std::int32_t line) {
    return {unit, "eigpick", line};
  }
  void open_unit(std::int32_t unit, std::string_view file_name, records::direction use) {
    units_.st_open(statement(unit, 1), file_name, use);
  }

  scratch_directory directory_;
  records::unit_table units_;
};

// Runs `action`, which must end in a fatal error, and hands the error back.
template <typename Action>
records::fatal_error fatal_error_of(Action&& action) {
  try {
    action();
  } catch (const records::fatal_error& error) {
    return error;
  }
  ADD_FAILURE() << "no fatal error was raised";
  return {};
}

// The report line of an error, as a string.
inline std::string report_of(const records::fatal_error& error) {
  return std::string(records::fatal_report(error).view());
}

}  // namespace testing_support
