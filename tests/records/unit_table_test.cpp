#include "records/unit_table.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "records/statement.hpp"
#include "support/statement_fixture.hpp"

namespace records {
namespace {

using testing_support::fatal_error_of;
using testing_support::read_file;
using testing_support::write_file;

using Opening = testing_support::statement_test;

TEST_F(Opening, CreatesAnAbsentFileEmptyAndLeavesAnExistingOneAlone) {
  open_unit(4, "absent", direction::read);
  EXPECT_EQ(read_file("absent"), "");
  write_file("present", "kept\nas it was\n");
  open_unit(7, "present", direction::write);
  units_.stop_string();
  EXPECT_EQ(read_file("present"), "kept\nas it was\n");
}

TEST_F(Opening, ReportsAFileThatCannotBeConnectedAtItsOpen) {
  ASSERT_EQ(::mkdir("folder", 0755), 0);
  EXPECT_EQ(fatal_report(fatal_error_of([&] {
              units_.st_open(statement(7, 9), "folder", direction::write);
            })).view(),
            "eigpick: folder (unit 7), statement line 9: cannot open or create the file: Is a "
            "directory");
  EXPECT_EQ(fatal_report(fatal_error_of([&] {
              units_.st_open(statement(4, 8), "no/such/file", direction::read);
            })).view(),
            "eigpick: no/such/file (unit 4), statement line 8: cannot open or create the file: "
            "No such file or directory");
}

TEST_F(Opening, AFileThatMayOnlyBeReadOpensForReadingOnly) {
  // Root may write any file by its permissions; a sysfs attribute it may not.
  std::string name = "read-only";
  if (::geteuid() == 0) {
    name = "/sys/kernel/mm/transparent_hugepage/hpage_pmd_size";
    if (::access(name.c_str(), R_OK) != 0) GTEST_SKIP() << "no read-only file for root here";
  } else {
    write_file(name, "4096\n");
    ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
  }
  open_unit(4, name, direction::read);
  std::int32_t value = 0;
  read<"(I8)">(units_, statement(4, 12), value);
  EXPECT_GT(value, 0);
  units_.stop_string();  // one file is never connected to two units at once
  // Connected for writing it fails at once, however far the run could read.
  const auto error = fatal_error_of([&] { open_unit(7, name, direction::write); });
  EXPECT_EQ(error.what_happened, condition::cannot_open);
  EXPECT_EQ(error.detail.view(), "Permission denied");
}

TEST_F(Opening, ConnectingAUnitAgainClosesItsEarlierFile) {
  const auto open_descriptors = [] {
    const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return std::distance(begin(entries), end(entries));
  };
  write_file("first", "1\n");
  write_file("second", "2\n");
  open_unit(4, "first", direction::read);
  const auto before = open_descriptors();
  open_unit(4, "second", direction::read);
  EXPECT_EQ(open_descriptors(), before);
  std::int32_t value = 0;
  read<"(I1)">(units_, statement(4, 12), value);
  EXPECT_EQ(value, 2);
  // The records gathered for the earlier file reach that file, not the next.
  open_unit(7, "first-out", direction::write);
  write<"(I5)">(units_, statement(7, 50), 3);
  open_unit(7, "second-out", direction::write);
  write<"(I5)">(units_, statement(7, 50), 4);
  units_.stop_string();
  EXPECT_EQ(read_file("first-out"), "    3\n");
  EXPECT_EQ(read_file("second-out"), "    4\n");
}

}  // namespace
}  // namespace records
