#include "extract/listing_reader.hpp"

#include <gtest/gtest.h>

#include "extract/statements.hpp"
#include "support/listing_builder.hpp"
#include "support/statement_fixture.hpp"

namespace extract {
namespace {

using testing_support::f8_3;
using testing_support::f8_5;
using testing_support::fatal_error_of;
using testing_support::listing_builder;
using testing_support::write_file;

class ListingReader : public testing_support::statement_test {
 protected:
  void open_listing(const std::string& text) {
    write_file("hdat.out", text);
    units_.st_open(listing_statement(line::open_listing), listing_file, records::direction::read);
  }
  // The record the next statement would read, for checking what was consumed.
  std::string next_record_start() {
    std::array<char, 8> start{};
    records::read<"(A8)">(units_, listing_statement(99), start);
    return {start.data(), start.size()};
  }
  static std::array<std::string, 4> a_coefs(double base) {
    return {f8_5(base + 0.1), f8_5(base + 0.2), f8_5(base + 0.3), f8_5(base + 0.4)};
  }
  static std::array<std::string, 6> b_coefs(double base) {
    return {f8_5(base + 0.1), f8_5(base + 0.2), f8_5(base + 0.3),
            f8_5(base + 0.4), f8_5(base + 0.5), f8_5(base + 0.6)};
  }
  static listing_builder& block_a_start(listing_builder& listing) {
    return listing.marker().block_a_header({11, 12, 13, 14},
                                           {f8_3(-0.5), "    1683", f8_3(0.25), "  1.5E-1"});
  }
};

TEST_F(ListingReader, FindsTheMarkerInTheLastRecordItSearches) {
  listing_builder listing;
  listing.banner(499).marker().line("AFTER MARKER");
  open_listing(listing.text());
  EXPECT_TRUE(find_marker(units_));
  EXPECT_EQ(next_record_start(), "AFTER MA");
}

TEST_F(ListingReader, GivesUpAfterFiveHundredRecords) {
  listing_builder listing;
  listing.banner(500).marker();
  open_listing(listing.text());
  EXPECT_FALSE(find_marker(units_));
  EXPECT_EQ(next_record_start(), "        ");  // record 501, the marker, is left unread
}

TEST_F(ListingReader, OnlyUpperCaseEigeInColumns17To20IsTheMarker) {
  struct marker_case {
    int line;
    std::string record;
    bool found;
  };
  const marker_case cases[] = {
      {__LINE__, "                EIGE", true},
      {__LINE__, "                EIGENVECTORS", true},
      {__LINE__, "                EIGEN\r", true},
      {__LINE__, "xxxxxxxxxxxxxxxxEIGEyyyy", true},
      {__LINE__, "                eigenvectors", false},
      {__LINE__, "                Eige", false},
      {__LINE__, "               EIGENVECTORS", false},    // columns 16-19
      {__LINE__, "                 EIGENVECTORS", false},  // columns 18-21
      {__LINE__, "                EIG", false},
      {__LINE__, "EIGENVECTORS", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.record);
    listing_builder listing;
    listing.line(c.record).banner(499);
    open_listing(listing.text());
    EXPECT_EQ(find_marker(units_), c.found);
    units_.stop_string();
  }
}

TEST_F(ListingReader, AShortListingWithoutMarkerEndsInAnEndOfFileAtStatement12) {
  listing_builder listing;
  listing.banner(312);
  open_listing(listing.text());
  const auto error = fatal_error_of([&] { find_marker(units_); });
  EXPECT_EQ(records::fatal_report(error).view(),
            "eigpick: hdat.out (unit 4), statement line 12: end of file after record 312 "
            "(no record holds \"EIGE\" in columns 17-20)");
}

TEST_F(ListingReader, BlockAReadsHeadersAndRowsUpToAZeroIndex) {
  listing_builder listing;
  block_a_start(listing)
      .block_a_row("  S  C 1", "1", a_coefs(1))
      .block_a_row("  Px C 1", "-2", a_coefs(2))  // a negative index does not end the block
      .block_a_row("  Py C 1", "3", {"    1234", "0.50 923", "1.5D-1", ""})
      .block_a_row("  Pz C 1", "0", a_coefs(4))  // ends the block, read like any row
      .line("NEXT");
  open_listing(listing.text());
  ASSERT_TRUE(find_marker(units_));
  coefficient_table table{};
  read_block_a(units_, table);
  EXPECT_EQ(table.row_count, 3);
  EXPECT_EQ(table.root_number, (std::array<std::int32_t, 6>{11, 12, 13, 14, 0, 0}));
  EXPECT_EQ(table.eigenvalue, (std::array<float, 6>{-0.5f, 1.683f, 0.25f, 0.15f, 0, 0}));
  EXPECT_EQ(as_text(table.row(1).orbital_label), "  S ");
  EXPECT_EQ(as_text(table.row(2).orbital_label), "  Px");
  EXPECT_EQ(as_text(table.row(2).second_label), " C 1");
  EXPECT_EQ(table.row(2).index_field, -2);
  EXPECT_EQ(table.row(3).coef, (std::array<float, 6>{0.01234f, 0.50923f, 0.15f, 0, 0, 0}));
  EXPECT_EQ(table.row(4).index_field, 0);
  EXPECT_EQ(as_text(table.row(4).orbital_label), "  Pz");
  EXPECT_EQ(table.row(4).coef[3], 4.4f);
  EXPECT_EQ(next_record_start(), "NEXT    ");
}

TEST_F(ListingReader, ABlankRecordEndsBlockA) {
  listing_builder listing;
  block_a_start(listing).block_a_row("  S  C 1", "1", a_coefs(1)).line("").line("NEXT");
  open_listing(listing.text());
  ASSERT_TRUE(find_marker(units_));
  coefficient_table table{};
  read_block_a(units_, table);
  EXPECT_EQ(table.row_count, 1);
  EXPECT_EQ(next_record_start(), "NEXT    ");
}

TEST_F(ListingReader, AZeroOrBlankFirstRowGivesNoRows) {
  for (const std::string index : {"0", "", "  0", "-0", "+0"}) {
    SCOPED_TRACE("index \"" + index + "\"");
    listing_builder listing;
    block_a_start(listing).block_a_row("  S  C 1", index, a_coefs(1));
    open_listing(listing.text());
    ASSERT_TRUE(find_marker(units_));
    coefficient_table table{};
    read_block_a(units_, table);
    EXPECT_EQ(table.row_count, 0);
    units_.stop_string();
  }
}

TEST_F(ListingReader, BlockAStopsAfter200RowsWithoutReadingATerminatingRecord) {
  listing_builder listing;
  block_a_start(listing);
  for (int k = 1; k <= 201; ++k)
    listing.block_a_row("  S  C 1", std::to_string(k), a_coefs(k / 1000.0));
  open_listing(listing.text());
  ASSERT_TRUE(find_marker(units_));
  coefficient_table table{};
  read_block_a(units_, table);
  EXPECT_EQ(table.row_count, 200);
  EXPECT_EQ(table.row(200).index_field, 200);
  EXPECT_EQ(table.row(201).index_field, 0);             // row 201 was not read
  EXPECT_EQ(next_record_start().substr(0, 4), "  S ");  // it is the next record
}

TEST_F(ListingReader, ShortRowsReadTheirMissingCoefficientsAsZero) {
  listing_builder listing;
  block_a_start(listing).line("  S  C 1  1 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8     0.5").line("");
  open_listing(listing.text());
  ASSERT_TRUE(find_marker(units_));
  coefficient_table table{};
  read_block_a(units_, table);
  EXPECT_EQ(table.row(1).coef, (std::array<float, 6>{0.5f, 0, 0, 0, 0, 0}));
}

TEST_F(ListingReader, ABadFieldInTheTerminatingRowIsFatal) {
  listing_builder listing;
  block_a_start(listing)
      .block_a_row("  S  C 1", "1", a_coefs(1))
      .block_a_row("", "", {"", "", "x", ""});
  open_listing(listing.text());
  ASSERT_TRUE(find_marker(units_));
  coefficient_table table{};
  const auto error = fatal_error_of([&] { read_block_a(units_, table); });
  EXPECT_EQ(records::fatal_report(error).view(),
            "eigpick: hdat.out (unit 4), statement line 25, record 11, columns 60-67: "
            "bad real field \"       x\"");
}

TEST_F(ListingReader, BlockBReadsExactlyNRowsWhateverTheirIndexFields) {
  listing_builder listing;
  block_a_start(listing);
  for (int k = 1; k <= 3; ++k)
    listing.block_a_row("  S  C 1", std::to_string(k), a_coefs(k));
  listing.line("")
      .block_b_header({5, 6, 7, 8, 9, 100000},
                      {f8_3(1), f8_3(2), f8_3(3), f8_3(4), "   5.5E0", f8_3(-6)})
      .block_b_row("  D0 C 1", "0", b_coefs(1))  // a zero index means nothing here
      .block_b_row("x", "", b_coefs(2))
      .block_b_row("  S  C 1", "-7", b_coefs(3))
      .block_b_row("  S  C 1", "4", b_coefs(4));  // past N: not read
  open_listing(listing.text());
  ASSERT_TRUE(find_marker(units_));
  coefficient_table table{};
  read_block_a(units_, table);
  read_block_b(units_, table);
  EXPECT_EQ(table.row_count, 3);
  EXPECT_EQ(table.root_number, (std::array<std::int32_t, 6>{5, 6, 7, 8, 9, 100000}));
  EXPECT_EQ(table.eigenvalue, (std::array<float, 6>{1, 2, 3, 4, 5.5f, -6}));
  EXPECT_EQ(table.row(1).index_field, 0);
  EXPECT_EQ(as_text(table.row(1).orbital_label), "  D0");
  EXPECT_EQ(as_text(table.row(2).orbital_label), "x   ");
  EXPECT_EQ(table.row(3).index_field, -7);
  EXPECT_EQ(table.row(3).coef, (std::array<float, 6>{3.1f, 3.2f, 3.3f, 3.4f, 3.5f, 3.6f}));
  EXPECT_EQ(next_record_start(), "  S  C 1");
}

TEST_F(ListingReader, BlockBWithNoRowsReadsOnlyItsHeader) {
  listing_builder listing;
  block_a_start(listing)
      .line("")
      .block_b_header({5, 6, 7, 8, 9, 10}, {"", "", "", "", "", ""})
      .line("NEXT");
  open_listing(listing.text());
  ASSERT_TRUE(find_marker(units_));
  coefficient_table table{};
  read_block_a(units_, table);
  read_block_b(units_, table);
  EXPECT_EQ(table.row_count, 0);
  EXPECT_EQ(next_record_start(), "NEXT    ");
}

TEST_F(ListingReader, EachHeaderStatementReportsTheEndOfFileItMeets) {
  // Cutting the listing after record M+k shows which statement reads each record.
  listing_builder full;
  block_a_start(full).block_a_row("  S  C 1", "1", a_coefs(1)).line("");
  full.block_b_header({5, 6, 7, 8, 9, 10}, {"", "", "", "", "", ""})
      .block_b_row("  S  C 1", "1", b_coefs(1));
  std::vector<std::string> records;
  for (std::size_t at = 0, next; (next = full.text().find('\n', at)) != std::string::npos;
       at = next + 1) {
    records.push_back(full.text().substr(at, next + 1 - at));
  }
  // Statement lines meeting the end when the listing holds records 1..cut.
  const std::int32_t expected[] = {17, 17, 18, 20, 20, 20, 21, 23, 25,
                                   25, 58, 58, 60, 60, 60, 61, 63, 74};
  for (std::size_t cut = 1; cut <= std::size(expected); ++cut) {
    SCOPED_TRACE(testing::Message() << "records 1-" << cut);
    std::string text;
    for (std::size_t r = 0; r < cut; ++r)
      text += records[r];
    open_listing(text);
    coefficient_table table{};
    const auto error = fatal_error_of([&] {
      ASSERT_TRUE(find_marker(units_));
      read_block_a(units_, table);
      read_block_b(units_, table);
    });
    EXPECT_EQ(error.what_happened, records::condition::end_of_file);
    EXPECT_EQ(error.statement_line, expected[cut - 1]);
    EXPECT_EQ(error.record, static_cast<std::int64_t>(cut));
  }
}

}  // namespace
}  // namespace extract
