#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "records/fatal_error.hpp"
#include "records/statement.hpp"
#include "records/unit_table.hpp"
#include "support/scratch_directory.hpp"

namespace testing_support {

// Statements run in a scratch working directory; units left connected by a test
// are closed after it.
class statement_test : public testing::Test {
 protected:
  void TearDown() override { (void)records::connected_units().close_all(); }

  static records::statement_params statement(std::int32_t unit, std::int32_t line,
                                             std::string_view text) {
    return {unit, "eigpick", line, text};
  }
  static void open_unit(std::int32_t unit, std::string_view file_name) {
    records::st_open(statement(unit, 1, file_name));
  }

  scratch_directory directory_;
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

}  // namespace testing_support
