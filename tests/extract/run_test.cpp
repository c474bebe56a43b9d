#include "extract/run.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "records/fatal_error.hpp"
#include "support/listing_builder.hpp"
#include "support/statement_fixture.hpp"

namespace extract {
namespace {

using testing_support::fatal_error_of;
using testing_support::listing_shape;
using testing_support::read_file;
using testing_support::standard_listing;
using testing_support::write_file;

std::vector<std::string> records_of(const std::string& text) {
  std::vector<std::string> records;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    records.push_back(text.substr(at, end - at));
  }
  EXPECT_EQ(at, text.size()) << "the last record has no terminator";
  return records;
}

std::string f10_5(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%10.5f", static_cast<double>(static_cast<float>(value)));
  return buffer;
}

std::string header(int root, double eigenvalue) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "    E (%3d ) = %s", root, f10_5(eigenvalue).c_str());
  return buffer;
}

// Sections of the standard listing as the vector file must hold them.
std::vector<std::string> expected_standard_file(const listing_shape& shape) {
  const int n = shape.rows;
  auto source_row = [&](int k) {
    for (const int first : shape.p_shell_rows) {
      if (first == 0) continue;
      if (k == first) return first + 1;
      if (k == first + 1) return first + 2;
      if (k == first + 2) return first;
    }
    return k;
  };
  std::vector<std::string> file;
  char count[16];
  std::snprintf(count, sizeof count, "%5d", n);
  file.push_back(count);
  const double eigenvalues[] = {-1.5, -0.5, 0.25, 1.0, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5};
  for (int section = 0; section < 10; ++section) {
    const bool block_a = section < 4;
    const int column = block_a ? section + 1 : section - 3;
    file.push_back("");
    file.push_back("");
    file.push_back(header(block_a ? column : column + 4, eigenvalues[section]) +
                   (section == 4 ? "  1" : ""));
    std::string record;
    for (int k = 1; k <= n; ++k) {
      const int from = source_row(k);
      record += f10_5(block_a ? testing_support::standard_coefficient_a(from, column)
                              : testing_support::standard_coefficient_b(from, column));
      if (k % 12 == 0) {
        file.push_back(record);
        record.clear();
      }
    }
    if (n == 0 || n % 12 != 0) file.push_back(record);
  }
  return file;
}

class Run : public testing_support::statement_test {};

TEST_F(Run, ConvertsTheExampleListing) {
  write_file("hdat.out", read_file(EIGPICK_EXAMPLES_DIR "/hdat.out"));
  run_extraction();
  EXPECT_EQ(read_file("fort.50"), read_file(EIGPICK_EXAMPLES_DIR "/fort.50.expected"));
  // A second run over the same listing writes the same file.
  run_extraction();
  EXPECT_EQ(read_file("fort.50"), read_file(EIGPICK_EXAMPLES_DIR "/fort.50.expected"));
}

TEST_F(Run, WritesEverySectionForBlocksOfManySizes) {
  const listing_shape shapes[] = {
      {.rows = 0},   {.rows = 1},
      {.rows = 11},  {.rows = 12},
      {.rows = 13},  {.rows = 24},
      {.rows = 25},  {.rows = 9, .p_shell_rows = {1, 4, 7}},
      {.rows = 199}, {.rows = 200, .p_shell_rows = {2, 100, 198}},
  };
  for (const auto& shape : shapes) {
    SCOPED_TRACE(testing::Message() << "N = " << shape.rows);
    write_file("hdat.out", standard_listing(shape));
    run_extraction();
    const auto written = records_of(read_file("fort.50"));
    const auto expected = expected_standard_file(shape);
    EXPECT_EQ(written, expected);
    const std::size_t per_section =
        3 + std::max<std::size_t>(1, (static_cast<std::size_t>(shape.rows) + 11) / 12);
    EXPECT_EQ(written.size(), 1 + 10 * per_section);
  }
}

TEST_F(Run, TwelveAndThirteenRowsFillOneAndTwoRecords) {
  write_file("hdat.out", standard_listing({.rows = 13}));
  run_extraction();
  const auto written = records_of(read_file("fort.50"));
  ASSERT_EQ(written.size(), 1u + 10 * 5);
  EXPECT_EQ(written[4].size(), 120u);
  EXPECT_EQ(written[5].size(), 10u);
}

TEST_F(Run, NoRowsGiveOneEmptyCoefficientRecordPerSection) {
  write_file("hdat.out", standard_listing({.rows = 0}));
  run_extraction();
  const auto written = records_of(read_file("fort.50"));
  ASSERT_EQ(written.size(), 41u);
  EXPECT_EQ(written[0], "    0");
  for (int section = 0; section < 10; ++section) {
    SCOPED_TRACE(section);
    EXPECT_EQ(written[static_cast<std::size_t>(1 + 4 * section)], "");
    EXPECT_EQ(written[static_cast<std::size_t>(4 + 4 * section)], "");
  }
}

TEST_F(Run, BlockBIsWrittenWithBlockAsRowCount) {
  // More rows in block B: the extra ones are never read (their trailer is no row).
  write_file("hdat.out", standard_listing({.rows = 3, .rows_b = 5}));
  run_extraction();
  EXPECT_EQ(records_of(read_file("fort.50")), expected_standard_file({.rows = 3}));

  // Fewer rows: the records after them are read as rows; blank ones read as zeros.
  std::string listing = standard_listing({.rows = 3, .rows_b = 2});
  listing.replace(listing.rfind("  TRAILER"), std::string::npos, "\n");
  write_file("hdat.out", listing);
  run_extraction();
  const auto written = records_of(read_file("fort.50"));
  EXPECT_EQ(written[20], "  -0.10100  -0.10200   0.00000");
}

TEST_F(Run, AListingWithoutTheMarkerInItsFirst500RecordsGivesTheNotFoundFile) {
  write_file("fort.50", std::string(100000, 'x'));
  write_file("hdat.out", standard_listing({.banner_records = 500}));
  run_extraction();
  EXPECT_EQ(read_file("fort.50"), "Eigenvectors are not found\n");
}

TEST_F(Run, AShorterListingWithoutTheMarkerFailsAndKeepsTheOldFile) {
  write_file("fort.50", "old contents\n");
  testing_support::listing_builder listing;
  listing.banner(499);
  write_file("hdat.out", listing.text());
  const auto error = fatal_error_of([] { run_extraction(); });
  EXPECT_EQ(records::fatal_report(error).view(),
            "eigpick: hdat.out (unit 4), statement line 12: end of file after record 499 "
            "(no record holds \"EIGE\" in columns 17-20)");
  EXPECT_EQ(read_file("fort.50"), "old contents\n");
}

TEST_F(Run, ALongerOldVectorFileLeavesNoTrailingRecords) {
  std::string old;
  for (int i = 0; i < 5000; ++i)
    old += "   99.99999   99.99999   99.99999\n";
  write_file("fort.50", old);
  write_file("hdat.out", standard_listing({.rows = 2}));
  run_extraction();
  EXPECT_EQ(records_of(read_file("fort.50")), expected_standard_file({.rows = 2}));
}

TEST_F(Run, AFailureBeforeTheFirstWriteLeavesTheOldVectorFileAlone) {
  write_file("fort.50", "old contents\n");
  std::string listing = standard_listing({.rows = 3});
  listing.replace(listing.find(" 0.30100"), 8, " 0.3x100");  // row 1, column 3 of block A
  write_file("hdat.out", listing);
  const auto error = fatal_error_of([] { run_extraction(); });
  EXPECT_EQ(records::fatal_report(error).view(),
            "eigpick: hdat.out (unit 4), statement line 25, record 15, columns 60-67: "
            "bad real field \" 0.3x100\"");
  EXPECT_EQ(read_file("fort.50"), "old contents\n");
}

TEST_F(Run, AListingEndingInsideBlockBLeavesTheCountAndBlockA) {
  // Records 1-5 banner, 6 marker, 7-14 block A header, 15-17 rows, 18 the blank
  // terminating row, 19-25 block B header, 26-28 block B rows.
  const std::string full = standard_listing({.rows = 3});
  const auto expected = expected_standard_file({.rows = 3});
  const std::vector<std::string> count_and_block_a(expected.begin(), expected.begin() + 1 + 4 * 4);
  const std::pair<std::size_t, std::int32_t> cuts[] = {{18, 58}, {19, 58}, {20, 60}, {22, 60},
                                                       {23, 61}, {24, 63}, {25, 74}, {27, 74}};
  for (const auto& [records, line] : cuts) {
    SCOPED_TRACE(testing::Message() << "records 1-" << records);
    std::size_t end = 0;
    for (std::size_t r = 0; r < records; ++r)
      end = full.find('\n', end) + 1;
    write_file("hdat.out", full.substr(0, end));
    const auto error = fatal_error_of([] { run_extraction(); });
    EXPECT_EQ(error.what_happened, records::condition::end_of_file);
    EXPECT_EQ(error.statement_line, line);
    EXPECT_EQ(records_of(read_file("fort.50")), count_and_block_a);
  }
}

TEST_F(Run, AbsentListingIsCreatedEmptyAndEndsTheSearch) {
  const auto error = fatal_error_of([] { run_extraction(); });
  EXPECT_EQ(records::fatal_report(error).view(),
            "eigpick: hdat.out (unit 4), statement line 12: end of file: the file holds no records "
            "(the file did not exist: opening it created it empty)");
  EXPECT_TRUE(std::filesystem::exists("hdat.out"));
  EXPECT_EQ(read_file("hdat.out"), "");
  EXPECT_EQ(read_file("fort.50"), "");
}

TEST_F(Run, UnusableVectorFilesAreFatal) {
  write_file("hdat.out", standard_listing({.rows = 3}));
  ASSERT_EQ(::mkdir("fort.50", 0755), 0);
  auto error = fatal_error_of([] { run_extraction(); });
  EXPECT_EQ(records::fatal_report(error).view(),
            "eigpick: fort.50 (unit 7), statement line 9: cannot open or create the file: Is a "
            "directory");

  ASSERT_EQ(::rmdir("fort.50"), 0);
  ASSERT_EQ(::symlink("/dev/full", "fort.50"), 0);
  error = fatal_error_of([] { run_extraction(); });
  EXPECT_EQ(records::fatal_report(error).view(),
            "eigpick: fort.50 (unit 7), statement line 50: cannot write the file: No space left on "
            "device");
}

}  // namespace
}  // namespace extract
