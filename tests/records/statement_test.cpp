#include "records/statement.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <array>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "support/statement_fixture.hpp"

namespace records {
namespace {

using testing_support::fatal_error_of;
using testing_support::read_file;
using testing_support::write_file;
using word = std::array<char, 4>;
using integers = std::array<std::int32_t, 4>;

constexpr statement_params at(std::int32_t line) {
  return {4, "eigpick", line};
}
constexpr statement_params out(std::int32_t line) {
  return {7, "eigpick", line};
}

std::string text_of(const word& w) {
  return {w.data(), w.size()};
}

// What a read statement took, shown as text, then the first eight columns of the
// record the next statement starts with.
struct read_case {
  int line;
  std::string listing;
  std::function<std::string(unit_table&)> statement;
  std::string expected;
};

std::string next_start(unit_table& units) {
  std::array<char, 8> start{};
  read<"(A8)">(units, at(99), start);
  return "|" + std::string(start.data(), start.size());
}

class Statement : public testing_support::statement_test {
 protected:
  void listing(const std::string& bytes) {
    write_file("listing", bytes);
    open_unit(4, "listing", direction::read);
  }
  std::string written() {
    units_.stop_string();
    return read_file("out");
  }
};

TEST_F(Statement, ReadsTakeTheirFieldsAndLeaveTheNextRecordPlanned) {
  const read_case cases[] = {
      // Two items: the statement stops at the first I4 and never converts it.
      {__LINE__, "first\n   ABCDEFGH  ROOT    NO.!\nthird\n",
       [](unit_table& units) {
         word a{};
         word b{};
         read<"(/,3X,2A4,2X,I4,4X,I4)">(units, at(17), a, b);
         return text_of(a) + text_of(b) + next_start(units);
       },
       "ABCDEFGH|third   "},
      {__LINE__, "one\ntwo\nthreeABC\nfour\n",
       [](unit_table& units) {
         word a{};
         char b[4];  // a label declared as a built-in array
         read<"(//,2A4)">(units, at(20), a, b);
         return text_of(a) + std::string(b, 4) + next_start(units);
       },
       "threeABC|four    "},
      // Built-in arrays of numbers are taken as spans, a row at once.
      {__LINE__, "  5  4 0.5 2.5\nnext\n",
       [](unit_table& units) {
         std::int32_t pair[2];
         float halves[2];
         read<"(2I3,2F4.1)">(units, at(25), pair, halves);
         return std::to_string(pair[0] + pair[1]) + "," + std::to_string(halves[0] + halves[1]) +
                next_start(units);
       },
       "9,3.000000|next    "},
      // Slashes after the last item still end records.
      {__LINE__, "12\nskipped\n34\n",
       [](unit_table& units) {
         std::int32_t value = 0;
         read<"(I2,/)">(units, at(31), value);
         return std::to_string(value) + next_start(units);
       },
       "12|34      "},
      // Records are as long as any field needs: what is missing reads as blanks.
      {__LINE__, "0123456789\n\n",
       [](unit_table& units) {
         integers roots{1, 1, 1, 1};
         word a{};
         word b{};
         read<"(9X,32X,4I8)">(units, at(18), std::span(roots));
         read<"(16X,2A4)">(units, at(23), a, b);
         return std::to_string(roots[0] + roots[1] + roots[2] + roots[3]) + text_of(a) + text_of(b);
       },
       "0        "},
      {__LINE__, "    12\n",
       [](unit_table& units) {
         std::int32_t value = 0;
         read<"(4X,I8)">(units, at(5), value);
         return std::to_string(value);
       },
       "12"},
      // Items that outlast the format start it again on a new record; a slash
      // before the format's end ends one record more.
      {__LINE__, " 1\n 2\n 3\n 4\n",
       [](unit_table& units) {
         std::array<std::int32_t, 3> values{};
         read<"(I2)">(units, at(7), std::span(values));
         return std::to_string(values[0] * 100 + values[1] * 10 + values[2]) + next_start(units);
       },
       "123| 4      "},
      {__LINE__, " 1\n 2\n 3\n 4\n 5\n",
       [](unit_table& units) {
         std::array<std::int32_t, 2> values{};
         read<"(I2,/)">(units, at(7), std::span(values));
         return std::to_string(values[0] * 10 + values[1]) + next_start(units);
       },
       "13| 5      "},
      {__LINE__, "                EIGENVECTORS\r\n  1.5E-1\r\nlast",
       [](unit_table& units) {
         word a{};
         word b{};
         float value = 0;
         read<"(16X,2A4)">(units, at(12), a, b);
         read<"(F8.3)">(units, at(21), value);
         return text_of(a) + text_of(b) + (value == 0.15f ? " 0.15" : " ?") + next_start(units);
       },
       "EIGENVEC 0.15|last    "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    listing(c.listing);
    EXPECT_EQ(c.statement(units_), c.expected);
  }
}

TEST_F(Statement, AFailedReadNamesTheStatementAndWhatWentWrong) {
  const auto words = [](std::int32_t line) {
    return [line](unit_table& units) {
      word a{};
      word b{};
      read<"(16X,2A4)">(units, at(line), a, b);
    };
  };
  struct failure_case {
    int line;
    std::string listing;
    std::function<void(unit_table&)> statement;
    std::string report;
  };
  const failure_case cases[] = {
      {__LINE__, "", words(12), "statement line 12: end of file: the file holds no records"},
      {__LINE__, "only\n",
       [&](unit_table& units) {
         words(12)(units);
         words(12)(units);
       },
       "statement line 12: end of file after record 1"},
      {__LINE__, "12\n",
       [](unit_table& units) {
         std::int32_t value = 0;
         read<"(I2,/)">(units, at(31), value);
       },
       "statement line 31: end of file after record 1"},
      {__LINE__, "x\n" + std::string(43, ' ') + "12.3x456\n",
       [](unit_table& units) {
         float value = 0;
         read<"(/,43X,F8.5)">(units, at(25), value);
       },
       "statement line 25, record 2, columns 44-51: bad real field \"12.3x456\""},
      // A field that runs past the record shows its padding; a control byte as \xNN.
      {__LINE__, std::string(43, ' ') + "12\x01\n",
       [](unit_table& units) {
         float value = 0;
         read<"(43X,F8.5)">(units, at(25), value);
       },
       "statement line 25, record 1, columns 44-51: bad real field \"12\\x01     \""},
      {__LINE__, "2147483648\n",
       [](unit_table& units) {
         std::int32_t value = 0;
         read<"(I10)">(units, at(31), value);
       },
       "statement line 31, record 1, columns 1-10: bad integer field \"2147483648\" (beyond the "
       "signed 32-bit range)"},
      {__LINE__, "   -\n",
       [](unit_table& units) {
         std::int32_t value = 0;
         read<"(I4)">(units, at(31), value);
       },
       "statement line 31, record 1, columns 1-4: bad integer field \"   -\" (a sign without "
       "digits)"},
      {__LINE__, "   -    \n",
       [](unit_table& units) {
         float value = 0;
         read<"(F8.5)">(units, at(25), value);
       },
       "statement line 25, record 1, columns 1-8: bad real field \"   -    \" (a sign without "
       "digits)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    listing(c.listing);
    const auto error = fatal_error_of([&] { c.statement(units_); });
    EXPECT_EQ(fatal_report(error).view(), "eigpick: listing (unit 4), " + c.report);
  }
}

TEST_F(Statement, AFailureClosesEveryUnitAndNamesTheSystemsReason) {
  open_unit(7, "out", direction::write);
  // A unit connected for writing refuses to be read, with the system's words.
  auto error = fatal_error_of([&] {
    std::int32_t value = 0;
    read<"(I2)">(units_, out(40), value);
  });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: out (unit 7), statement line 40: cannot read the file: Bad file descriptor");
  error = fatal_error_of([&] { write<"(I5)">(units_, out(50), 1); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: unit 7, statement line 50: no file is connected to the unit");
}

TEST_F(Statement, WritesBuildTheirRecordsFromLiteralsSkipsAndFields) {
  struct write_case {
    int line;
    std::function<void(unit_table&)> statements;
    std::string expected;
  };
  const std::vector<float> thirteen = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
                                       0.5f, 0.5f, 0.5f, 0.5f, 0.5f, -1.0f};
  std::string wide_record;
  for (int i = 0; i < 20; ++i)
    wide_record += std::string(252, ' ') + "0.5";
  std::string twelve_halves;
  for (int i = 0; i < 12; ++i)
    twelve_halves += "   0.50000";
  const write_case cases[] = {
      {__LINE__,
       [](unit_table& units) {
         write<"(I5)">(units, out(50), 42);
         write<"(I5)">(units, out(50), 0);
         write<"('Eigenvectors are not found')">(units, out(15));
         write<"(//,'    E (',I3,' ) = ',F10.5)">(units, out(52), 1000, 1.0f);
         write<"(//,'    E (',I3,' ) = ',F10.5)">(units, out(52), 5, -0.4321f);
         write<"(//,'    E (',I3,' ) = ',F10.5,'  1')">(units, out(101), 9, 0.1f);
       },
       "   42\n    0\nEigenvectors are not found\n\n\n    E (*** ) =    1.00000\n"
       "\n\n    E (  5 ) =   -0.43210\n\n\n    E (  9 ) =    0.10000  1\n"},
      // Twelve values to a record; no values make one empty record.
      {__LINE__,
       [&](unit_table& units) {
         write<"(12F10.5)">(units, out(53), std::span<const float>(thirteen).first(12));
         write<"(12F10.5)">(units, out(53), std::span<const float>(thirteen));
         write<"(12F10.5)">(units, out(53), std::span<const float>());
       },
       twelve_halves + "\n" + twelve_halves + "\n  -1.00000\n\n"},
      // Reversion writes the literals and skips again; a skip at the end leaves
      // nothing, a slash at the end ends a record.
      {__LINE__,
       [](unit_table& units) {
         write<"('x',I2)">(units, out(60), 1, 2, 3);
         write<"(3X,I2)">(units, out(60), 7);
         write<"(I2,3X)">(units, out(60), 7);
         write<"(I1,2X,'|')">(units, out(60), 4);
         write<"(I1,/)">(units, out(60), 1);
         write<"(I2,'|')">(units, out(60), 1, 2);
         write<"(I1,/,2X,I1)">(units, out(60), 1, 2);
         const std::int32_t pair[2] = {5, 6};
         write<"(2I2)">(units, out(60), pair);
       },
       "x 1\nx 2\nx 3\n    7\n 7\n4  |\n1\n\n 1|\n 2|\n1\n  2\n 5 6\n"},
      {__LINE__,
       [&](unit_table& units) {
         write<"(2F4.1,'|')">(units, out(60), std::span<const float>(thirteen).first(3));
         write<"('<',F4.1,3X)">(units, out(60), std::span<const float>(thirteen).last(2));
         write<"(2X,F4.1)">(units, out(60), std::span<const float>(thirteen).last(2));
       },
       " 0.5 0.5|\n 0.5\n< 0.5\n<-1.0\n   0.5\n  -1.0\n"},
      // A record wider than the buffer that gathers it.
      {__LINE__,
       [&](unit_table& units) {
         write<"(20F255.1)">(units, out(60), std::span<const float>(thirteen).first(1));
         write<"(20F255.1)">(units, out(60), std::span<const float>(std::vector<float>(21, 0.5f)));
       },
       std::string(252, ' ') + "0.5\n" + wide_record + "\n" + std::string(252, ' ') + "0.5\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    open_unit(7, "out", direction::write);
    c.statements(units_);
    EXPECT_EQ(written(), c.expected);
  }
}

TEST_F(Statement, TheFirstWriteReplacesTheFileAndItsRecordsReachItBeforeTheNextRead) {
  std::string old;
  for (int i = 0; i < 1000; ++i)
    old += "an older and much longer vector file\n";
  write_file("out", old);
  listing("a\n");
  open_unit(7, "out", direction::write);
  write<"(I5)">(units_, out(50), 3);
  EXPECT_EQ(read_file("out"), old);  // neither opening nor gathering cuts it
  std::array<char, 1> letter{};
  read<"(A1)">(units_, at(12), letter);
  EXPECT_EQ(read_file("out"), "    3\n");
  write<"(//,I2)">(units_, out(50), 4);
  EXPECT_EQ(written(), "    3\n\n\n 4\n");
}

TEST_F(Statement, ARefusedWriteIsFatalAndKeepsExactlyTheRecordsBeforeIt) {
  // A file size limit refuses writes the way a full disk does, at the write.
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  open_unit(7, "out", direction::write);
  write<"(I5)">(units_, out(50), 1);
  const std::vector<float> values(24, 1.0f);
  // The records reach the file at the end, and the statement it refused is named.
  const auto error = fatal_error_of([&] {
    write<"(12F10.5)">(units_, out(60), std::span<const float>(values));
    units_.stop_string();
  });
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: out (unit 7), statement line 60: cannot write the file: File too large");
  EXPECT_EQ(read_file("out"), "    1\n");  // and no part of the refused record

  open_unit(7, "/dev/full", direction::write);
  EXPECT_EQ(fatal_report(fatal_error_of([&] {
              write<"(I5)">(units_, out(60), 1);
              units_.stop_string();
            })).view(),
            "eigpick: /dev/full (unit 7), statement line 60: cannot write the file: No space "
            "left on device");
}

}  // namespace
}  // namespace records
