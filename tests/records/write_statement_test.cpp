#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

#include "records/statement.hpp"
#include "support/statement_fixture.hpp"

namespace records {
namespace {

using testing_support::fatal_error_of;
using testing_support::read_file;
using testing_support::write_file;

class WriteStatement : public testing_support::statement_test {
 protected:
  void SetUp() override { open_unit(7, "out", direction::write); }

  // One write statement of these items; integers and reals in list order.
  void write(std::string_view text, const std::vector<std::int32_t>& integers,
             const std::vector<float>& reals = {}) {
    write_statement s(units_, statement(7, 60), format(text));
    for (const auto value : integers)
      s.transfer_integer_write(value);
    for (const auto value : reals)
      s.transfer_real_write(value);
    s.st_write_done();
  }
  std::string output() {
    units_.stop_string();
    return read_file("out");
  }
};

TEST_F(WriteStatement, WritesTheVectorFileRecords) {
  write("(I5)", {42});
  write("(I5)", {0});
  write("('Eigenvectors are not found')", {});
  write("(//,'    E (',I3,' ) = ',F10.5)", {1000}, {1.0f});
  write("(//,'    E (',I3,' ) = ',F10.5)", {5}, {-0.4321f});
  write("(//,'    E (',I3,' ) = ',F10.5,'  1')", {9}, {0.1f});
  EXPECT_EQ(output(),
            "   42\n"
            "    0\n"
            "Eigenvectors are not found\n"
            "\n\n    E (*** ) =    1.00000\n"
            "\n\n    E (  5 ) =   -0.43210\n"
            "\n\n    E (  9 ) =    0.10000  1\n");
}

TEST_F(WriteStatement, RevertsToANewRecordForEveryTwelveValues) {
  const std::vector<float> twelve(12, 0.5f);
  std::vector<float> thirteen = twelve;
  thirteen.push_back(-1.0f);
  std::string ten_blanks_half;
  for (int i = 0; i < 12; ++i)
    ten_blanks_half += "   0.50000";
  write("(12F10.5)", {}, twelve);
  write("(12F10.5)", {}, thirteen);
  write("(12F10.5)", {}, {});  // no values: one empty record
  write("(12F10.5)", {}, {});
  EXPECT_EQ(output(), ten_blanks_half + "\n" + ten_blanks_half + "\n  -1.00000\n\n\n");
}

TEST_F(WriteStatement, RevertedLiteralsAndSkipsAreWrittenAgain) {
  write("('x',I2)", {1, 2, 3});
  write("(3X,I2)", {7});
  write("(I2,3X)", {7});  // a skip at the end leaves nothing behind
  write("(I1,2X,'|')", {4});
  write("(I1,/,I1)", {1});  // the slash after the last item still ends a record
  EXPECT_EQ(output(), "x 1\nx 2\nx 3\n    7\n 7\n4  |\n1\n\n");
}

TEST_F(WriteStatement, TheFirstStatementReplacesTheOldContents) {
  units_.stop_string();
  std::string old;
  for (int i = 0; i < 1000; ++i)
    old += "an older and much longer vector file\n";
  write_file("out", old);
  open_unit(7, "out", direction::write);
  write("(I5)", {3});
  write("(I5)", {4});
  EXPECT_EQ(output(), "    3\n    4\n");
}

TEST_F(WriteStatement, EachStatementReachesTheFileWhenItEnds) {
  write("(I5)", {1});
  EXPECT_EQ(read_file("out"), "    1\n");
  write("(//,I2)", {2});
  EXPECT_EQ(read_file("out"), "    1\n\n\n 2\n");
}

TEST_F(WriteStatement, ARefusedWriteIsFatalAndKeepsExactlyTheRecordsBeforeIt) {
  // A file size limit refuses writes the way a full disk does, at the write.
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  write("(I5)", {1});
  const auto error = fatal_error_of([&] { write("(12F10.5)", {}, std::vector<float>(24, 1.0f)); });
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: out (unit 7), statement line 60: cannot write the file: File too large");
  EXPECT_EQ(read_file("out"), "    1\n");  // and no part of the refused record
  EXPECT_FALSE(units_.is_connected(7));
}

TEST_F(WriteStatement, AFullDeviceIsFatalAtTheStatement) {
  open_unit(7, "/dev/full", direction::write);
  const auto error = fatal_error_of([&] { write("(I5)", {1}); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: /dev/full (unit 7), statement line 60: cannot write the file: No space left "
            "on device");
}

TEST_F(WriteStatement, AnItemWithoutAFieldIsFatal) {
  auto error = fatal_error_of([&] { write("('Eigenvectors are not found')", {1}); });
  EXPECT_EQ(
      fatal_report(error).view(),
      "eigpick: out (unit 7), statement line 60: the format has no field for an integer item");
  open_unit(7, "out", direction::write);
  error = fatal_error_of([&] { write("(F10.5)", {1}); });
  EXPECT_EQ(error.detail.view(), "an integer item met the field F10.5");
}

}  // namespace
}  // namespace records
