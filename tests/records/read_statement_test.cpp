#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#include "records/statement.hpp"
#include "support/statement_fixture.hpp"

namespace records {
namespace {

using namespace std::string_literals;
using testing_support::fatal_error_of;
using testing_support::read_file;
using testing_support::write_file;
using word = std::array<char, 4>;

std::string text_of(const word& w) {
  return {w.data(), w.size()};
}

class ReadStatement : public testing_support::statement_test {
 protected:
  // Connects unit 4 to a file holding `bytes`.
  void listing(const std::string& bytes) {
    write_file("listing", bytes);
    open_unit(4, "listing");
  }
  // One statement reading two character items; returns the first.
  std::string read_words(std::string_view text) {
    read_statement s(units_, statement(4, 30), format(text));
    word first{};
    word second{};
    s.transfer_character(first);
    s.transfer_character(second);
    s.st_read_done();
    return text_of(first) + text_of(second);
  }
  std::int32_t read_one_integer(std::string_view text) {
    read_statement s(units_, statement(4, 31), format(text));
    std::int32_t value = -1;
    s.transfer_integer(value);
    s.st_read_done();
    return value;
  }
};

TEST_F(ReadStatement, StopsAtTheFirstFieldItemAfterTheLastItem) {
  // The I4 columns of the second record hold letters: they are never converted.
  listing("first\n   ABCDEFGH  ROOT    NO.!\nthird\n");
  EXPECT_EQ(read_words("(/,3X,2A4,2X,I4,4X,I4)"), "ABCDEFGH");
  EXPECT_EQ(read_words("(2A4)"), "third   ");
}

TEST_F(ReadStatement, LeadingSlashesConsumeRecordsBeforeTheItems) {
  listing("one\ntwo\nthreeABC\nfour\n");
  EXPECT_EQ(read_words("(//,2A4)"), "threeABC");
  EXPECT_EQ(read_words("(2A4)"), "four    ");
}

TEST_F(ReadStatement, TrailingSlashesAreCarriedOutAtTheEnd) {
  listing("12\nskipped\n34\n");
  EXPECT_EQ(read_one_integer("(I2,/)"), 12);
  EXPECT_EQ(read_one_integer("(I2)"), 34);
}

TEST_F(ReadStatement, ShortRecordsReadAsBlankPadded) {
  listing("0123456789\n\n");
  std::array<std::int32_t, 4> roots{1, 1, 1, 1};
  read_statement s(units_, statement(4, 18), format("(9X,32X,4I8)"));
  for (auto& root : roots)
    s.transfer_integer(root);
  s.st_read_done();
  EXPECT_EQ(roots, (std::array<std::int32_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(read_words("(16X,2A4)"), "        ");
}

TEST_F(ReadStatement, AFieldMayStartInsideTheRecordAndEndPastIt) {
  listing("    12\n");
  std::int32_t value = 0;
  read_statement s(units_, statement(4, 5), format("(4X,I8)"));
  s.transfer_integer(value);
  s.st_read_done();
  EXPECT_EQ(value, 12);
}

TEST_F(ReadStatement, CrLfAndLfFilesReadAlike) {
  for (const std::string terminator : {"\n", "\r\n"}) {
    SCOPED_TRACE(terminator.size());
    listing("                EIGENVECTORS" + terminator + "  1.5E-1" + terminator);
    EXPECT_EQ(read_words("(16X,2A4)"), "EIGENVEC");
    float value = 0;
    read_statement s(units_, statement(4, 21), format("(F8.3)"));
    s.transfer_real(value);
    s.st_read_done();
    EXPECT_EQ(value, 0.15f);
  }
}

TEST_F(ReadStatement, RevertsToANewRecordWhenItemsOutlastTheFormat) {
  listing(" 1\n 2\n 3\n 4\n");
  std::array<std::int32_t, 3> values{};
  read_statement s(units_, statement(4, 7), format("(I2)"));
  for (auto& value : values)
    s.transfer_integer(value);
  s.st_read_done();
  EXPECT_EQ(values, (std::array<std::int32_t, 3>{1, 2, 3}));
  EXPECT_EQ(read_one_integer("(I2)"), 4);
}

TEST_F(ReadStatement, EndOfFileIsFatalEvenForCharacterItems) {
  listing("only\n");
  read_words("(2A4)");
  const auto error = fatal_error_of([&] { read_words("(16X,2A4)"); });
  EXPECT_EQ(error.what_happened, condition::end_of_file);
  EXPECT_EQ(error.statement_line, 30);
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 30: end of file after record 1");
}

TEST_F(ReadStatement, EndOfFileMetByASlashAfterTheItems) {
  listing("12\n");
  const auto error = fatal_error_of([&] { read_one_integer("(I2,/)"); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 31: end of file after record 1");
}

TEST_F(ReadStatement, EndOfFileInAnEmptyFile) {
  listing("");
  const auto error = fatal_error_of([&] { read_words("(16X,2A4)"); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 30: end of file: the file holds no records");
}

TEST_F(ReadStatement, ABadFieldNamesItsRecordColumnsAndText) {
  listing("x\n" + std::string(43, ' ') + "12.3x456\n" + std::string(43, ' ') + "12\x01\n");
  read_words("(2A4)");
  const auto bad_real = format("(43X,F8.5)");
  float value = 0;
  auto error = fatal_error_of([&] {
    read_statement s(units_, statement(4, 25), bad_real);
    s.transfer_real(value);
  });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 25, record 2, columns 44-51: "
            "bad real field \"12.3x456\"");

  // A field that runs past the record shows its padding; a control byte shows as \xNN.
  open_unit(4, "listing");
  read_words("(2A4)");
  read_words("(2A4)");
  error = fatal_error_of([&] {
    read_statement s(units_, statement(4, 25), bad_real);
    s.transfer_real(value);
  });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 25, record 3, columns 44-51: "
            "bad real field \"12\\x01     \"");
}

TEST_F(ReadStatement, BadIntegerFieldsSayWhyWhenTheTextDoesNot) {
  listing("2147483648\n   -\n");
  auto error = fatal_error_of([&] { read_one_integer("(I10)"); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 31, record 1, columns 1-10: "
            "bad integer field \"2147483648\" (beyond the signed 32-bit range)");
  open_unit(4, "listing");
  read_words("(2A4)");
  error = fatal_error_of([&] { read_one_integer("(I4)"); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 31, record 2, columns 1-4: "
            "bad integer field \"   -\" (a sign without digits)");
}

TEST_F(ReadStatement, AFatalErrorClosesEveryUnit) {
  listing("");
  write_file("other", "");
  open_unit(7, "other");
  fatal_error_of([&] { read_words("(2A4)"); });
  EXPECT_FALSE(units_.is_connected(4));
  EXPECT_FALSE(units_.is_connected(7));
}

TEST_F(ReadStatement, MisusedStatementsAreFatalNotUndefined) {
  listing("abcd\nabcd\nabcd\n");
  auto error = fatal_error_of([&] { read_one_integer("(A4)"); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: listing (unit 4), statement line 31: an integer item met the field A4");

  open_unit(4, "listing");
  error = fatal_error_of([&] { read_one_integer("(4X)"); });
  EXPECT_EQ(error.what_happened, condition::item_mismatch);

  error = fatal_error_of([&] { read_statement s(units_, statement(9, 3), format("(I4)")); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: unit 9, statement line 3: no file is connected to the unit");
}

using Opening = ReadStatement;

TEST_F(Opening, CreatesAnAbsentFileEmptyAndLeavesAnExistingOneAlone) {
  open_unit(4, "absent");
  EXPECT_EQ(read_file("absent"), "");
  write_file("present", "kept\nas it was\n");
  open_unit(7, "present");
  units_.stop_string();
  EXPECT_EQ(read_file("present"), "kept\nas it was\n");
}

TEST_F(Opening, ADirectoryCannotBeConnected) {
  ASSERT_EQ(::mkdir("folder", 0755), 0);
  const auto error = fatal_error_of([&] { units_.st_open(statement(7, 9), "folder"); });
  EXPECT_EQ(
      fatal_report(error).view(),
      "eigpick: folder (unit 7), statement line 9: cannot open or create the file: Is a directory");
}

TEST_F(Opening, AFileInAMissingDirectoryCannotBeCreated) {
  const auto error = fatal_error_of([&] { units_.st_open(statement(4, 8), "no/such/file"); });
  EXPECT_EQ(fatal_report(error).view(),
            "eigpick: no/such/file (unit 4), statement line 8: cannot open or create the file: "
            "No such file or directory");
}

TEST_F(Opening, AFileThatMayOnlyBeReadOpensForReading) {
  // Root may write any file by its permissions; a sysfs attribute it may not.
  std::string name = "read-only";
  if (::geteuid() == 0) {
    name = "/sys/kernel/mm/transparent_hugepage/hpage_pmd_size";
    if (::access(name.c_str(), R_OK) != 0) GTEST_SKIP() << "no read-only file for root here";
  } else {
    write_file(name, "4096\n");
    ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
  }
  open_unit(4, name);
  EXPECT_GT(read_one_integer("(I8)"), 0);
  units_.stop_string();  // one file is never connected to two units at once
  open_unit(7, name);
  const auto error = fatal_error_of([&] {
    write_statement s(units_, statement(7, 50), format("(I5)"));
    s.transfer_integer_write(1);
    s.st_write_done();
  });
  EXPECT_EQ(error.what_happened, condition::cannot_write);
  EXPECT_EQ(error.detail.view(), "Permission denied");
}

TEST(CompareString, ComparesUnsignedBytesWithTheShorterTextBlankPadded) {
  struct compare_case {
    int line;
    std::string_view first;
    std::string_view second;
    int sign;
  };
  const compare_case cases[] = {
      {__LINE__, "EIGE", "EIGE", 0},
      {__LINE__, "  Px", "  PX", 1},
      {__LINE__, "  PX", "  Px", -1},
      {__LINE__, "  Px", "  px", -1},
      {__LINE__, "Px  ", "  Px", 1},
      {__LINE__, "ab", "ab  ", 0},
      {__LINE__, "ab  ", "ab", 0},
      {__LINE__, "ab", "ab\x01", 1},    // the padding blank sorts after \x01
      {__LINE__, "a\xFF", "a\x01", 1},  // unsigned: 0xFF is the largest byte
      {__LINE__, "", "", 0},
      {__LINE__, "", "    ", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    const int result = compare_string(c.first, c.second);
    EXPECT_EQ((result > 0) - (result < 0), c.sign);
  }
}

}  // namespace
}  // namespace records
