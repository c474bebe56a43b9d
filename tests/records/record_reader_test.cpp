#include "records/detail/record_reader.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch_directory.hpp"

namespace records::detail {
namespace {

using namespace std::string_literals;
using testing_support::scratch_directory;
using testing_support::write_file;

// Every record of a file with these bytes, as the reader splits it.
std::vector<std::string> records_of(const std::string& bytes) {
  scratch_directory directory;
  write_file("records", bytes);
  const int fd = ::open("records", O_RDONLY);
  auto block = std::make_unique<reader_block>();
  record_reader reader(fd, *block);
  std::vector<std::string> records;
  while (reader.next_record() == record_reader::status::record) {
    records.emplace_back(reader.record());
    EXPECT_EQ(reader.record_number(), static_cast<std::int64_t>(records.size()));
  }
  // The end stays the end.
  EXPECT_EQ(reader.next_record(), record_reader::status::end_of_file);
  ::close(fd);
  return records;
}

struct split_case {
  int line;
  std::string bytes;
  std::vector<std::string> records;
};

TEST(RecordSplitting, EndsLinesAtLfOrCrLf) {
  const split_case cases[] = {
      {__LINE__, "", {}},
      {__LINE__, "\n", {""}},
      {__LINE__, "a\nb\n", {"a", "b"}},
      {__LINE__, "a\nb", {"a", "b"}},  // a last line without terminator
      {__LINE__, "a\r\nb\r\n", {"a", "b"}},
      {__LINE__, "a\r\nb\nc\r\n", {"a", "b", "c"}},
      {__LINE__, "\n\n\n", {"", "", ""}},
      {__LINE__, "\r\n", {""}},
      {__LINE__, "a\r\r\n", {"a\r"}},               // only the CR before the LF is a terminator
      {__LINE__, "a\rb\n", {"a\rb"}},               // a lone CR is data
      {__LINE__, "a\r", {"a\r"}},                   // no LF follows: the CR is data
      {__LINE__, "\0a\0\n\0"s, {"\0a\0"s, "\0"s}},  // NUL bytes are data
      {__LINE__, "\xFF\t\x7F\n", {"\xFF\t\x7F"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    EXPECT_EQ(records_of(c.bytes), c.records);
  }
}

TEST(RecordSplitting, KeepsTheFirstColumnsOfLongLinesOnly) {
  const std::string limit_line(record_limit, 'x');
  const std::string long_line = std::string(record_limit, 'y') + "TAIL";
  const std::string huge_line(3 * 64 * 1024 + 17, 'z');  // spans several blocks
  const split_case cases[] = {
      {__LINE__, limit_line + "\nnext\n", {limit_line, "next"}},
      {__LINE__, long_line + "\nnext\n", {long_line.substr(0, record_limit), "next"}},
      {__LINE__, long_line + "\r\nnext", {long_line.substr(0, record_limit), "next"}},
      // A CR just past the limit is the terminator's, not data.
      {__LINE__, limit_line + "\r\nnext\n", {limit_line, "next"}},
      {__LINE__, huge_line + "\r\nEND\n", {huge_line.substr(0, record_limit), "END"}},
      {__LINE__, huge_line, {huge_line.substr(0, record_limit)}},
      // The second long line lies whole in the block the first one filled.
      {__LINE__, huge_line + "\n" + long_line + "\n",
       {huge_line.substr(0, record_limit), long_line.substr(0, record_limit)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    EXPECT_EQ(records_of(c.bytes), c.records);
  }
}

TEST(RecordSplitting, LinesAcrossBlockBoundariesComeOutWhole) {
  // Lines of every length from 1 to 200 put terminators at every offset of a
  // block, including the first and last byte, with LF and with CR LF.
  for (const std::string terminator : {"\n", "\r\n"}) {
    SCOPED_TRACE(terminator.size() == 1 ? "LF" : "CR LF");
    std::string bytes;
    std::vector<std::string> expected;
    for (int round = 0; bytes.size() < 3 * 64 * 1024; ++round) {
      const std::string line(static_cast<std::size_t>(1 + round % 200),
                             static_cast<char>('a' + round % 26));
      bytes += line + terminator;
      expected.push_back(line);
    }
    EXPECT_EQ(records_of(bytes), expected);
  }
}

TEST(RecordSplitting, LongLinesStartingAnywhereKeepTheirFirstColumns) {
  // A line near the kept limit, cut by a read at every few offsets.
  for (std::size_t before = 0; before < 300; before += 7) {
    for (const std::size_t length : {record_limit - 1, record_limit, record_limit + 1,
                                     record_limit + 2, 2 * record_limit + 3}) {
      SCOPED_TRACE(testing::Message() << before << " bytes before a line of " << length);
      const std::string first(before, 'a');
      std::string line(length, 'b');
      line.front() = 'B';
      const std::string bytes = first + "\n" + line + "\r\nlast\n";
      EXPECT_EQ(records_of(bytes),
                (std::vector<std::string>{first, line.substr(0, record_limit), "last"}));
    }
  }
}

// A pipe hands over whatever has been written so far: records are whole however
// the bytes arrive.
TEST(RecordSplitting, BytesArrivingInSmallPiecesMakeTheSameRecords) {
  std::string bytes;
  std::vector<std::string> expected;
  for (int k = 0; k < 2000; ++k) {
    expected.push_back(
        std::string(static_cast<std::size_t>(k % 97), static_cast<char>('a' + k % 26)));
    bytes += expected.back() + (k % 3 == 0 ? "\r\n" : "\n");
  }
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread writer([&] {
    for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece % 13 + 1) {
      const std::size_t count = std::min(piece, bytes.size() - at);
      if (::write(ends[1], bytes.data() + at, count) != static_cast<ssize_t>(count)) break;
    }
    ::close(ends[1]);
  });
  auto block = std::make_unique<reader_block>();
  record_reader reader(ends[0], *block);
  std::vector<std::string> records;
  while (reader.next_record() == record_reader::status::record)
    records.emplace_back(reader.record());
  writer.join();
  ::close(ends[0]);
  EXPECT_EQ(records, expected);
}

TEST(RecordSplitting, ReportsTheSystemsReasonWhenReadingFails) {
  scratch_directory directory;
  write_file("records", "a\n");
  const int fd = ::open("records", O_WRONLY);
  auto block = std::make_unique<reader_block>();
  record_reader reader(fd, *block);
  EXPECT_EQ(reader.next_record(), record_reader::status::read_error);
  EXPECT_EQ(reader.error_number(), EBADF);
  ::close(fd);
}

}  // namespace
}  // namespace records::detail
