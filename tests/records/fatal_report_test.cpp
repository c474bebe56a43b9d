#include <gtest/gtest.h>

#include "records/fatal_error.hpp"
#include "support/editing.hpp"

namespace records {
namespace {

using namespace std::string_literals;
using testing_support::printable;

fatal_error listing_error(condition what_happened) {
  fatal_error error;
  error.what_happened = what_happened;
  error.source = "eigpick";
  error.statement_line = 25;
  error.unit = 4;
  error.file_name = "hdat.out";
  return error;
}

TEST(FatalReport, NamesEverythingThatApplies) {
  auto bad_real = listing_error(condition::bad_real);
  bad_real.record = 57;
  bad_real.first_column = 44;
  bad_real.last_column = 51;
  bad_real.field_text = "12.3x456";
  EXPECT_EQ(fatal_report(bad_real).view(),
            "eigpick: hdat.out (unit 4), statement line 25, record 57, columns 44-51: "
            "bad real field \"12.3x456\"");

  auto end = listing_error(condition::end_of_file);
  end.statement_line = 12;
  end.record = 312;
  EXPECT_EQ(fatal_report(end).view(),
            "eigpick: hdat.out (unit 4), statement line 12: end of file after record 312");

  auto close = listing_error(condition::cannot_close);
  close.statement_line = 0;
  close.unit = 7;
  close.file_name = "fort.50";
  close.detail = "Input/output error";
  EXPECT_EQ(fatal_report(close).view(),
            "eigpick: fort.50 (unit 7): cannot close the file: Input/output error");

  auto write = listing_error(condition::cannot_write);
  write.statement_line = 53;
  write.unit = 7;
  write.file_name = "fort.50";
  write.detail = "No space left on device";
  EXPECT_EQ(fatal_report(write).view(),
            "eigpick: fort.50 (unit 7), statement line 53: cannot write the file: No space left on "
            "device");
}

TEST(FatalReport, WritesEveryByteOutsidePrintableAsciiAsHex) {
  EXPECT_EQ(printable("plain text ~!"), "plain text ~!");
  EXPECT_EQ(printable("\0\t\n\r\x1B[2J"s), "\\x00\\x09\\x0A\\x0D\\x1B[2J");
  EXPECT_EQ(printable("\x7F\x80\xFF"), "\\x7F\\x80\\xFF");
  // The quote and the backslash are escaped too, so a field's text is unambiguous.
  EXPECT_EQ(printable("a\"b\\c"), "a\\x22b\\x5Cc");

  auto bad = listing_error(condition::bad_integer);
  bad.record = 3;
  bad.first_column = 9;
  bad.last_column = 11;
  bad.field_text = "\x1B]0\a";
  const std::string report(fatal_report(bad).view());
  EXPECT_EQ(report,
            "eigpick: hdat.out (unit 4), statement line 25, record 3, columns 9-11: "
            "bad integer field \"\\x1B]0\\x07\"");
  for (const char c : report)
    EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << int(c);
}

}  // namespace
}  // namespace records
