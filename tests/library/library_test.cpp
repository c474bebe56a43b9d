#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "eigpick/eigpick.hpp"
#include "support/listing_builder.hpp"
#include "support/scratch_directory.hpp"

namespace eigpick {
namespace {

using testing_support::listing_shape;
using testing_support::read_file;
using testing_support::standard_listing;
using testing_support::write_file;

std::string five_decimals(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", static_cast<double>(value));
  return text;
}

class Library : public testing::Test {
 protected:
  // A job directory beside the working directory, holding `listing`.
  static std::filesystem::path job(const std::string& name, const std::string& listing) {
    std::filesystem::create_directory(name);
    write_file(name + "/hdat.out", listing);
    return std::filesystem::absolute(name);
  }

  testing_support::scratch_directory directory_;
};

// What read_listing takes is what the conversion writes, to its five decimals,
// and read_vector_file reads that back (here also in builds without the
// Python module, such as the sanitizer build).
TEST_F(Library, ReadersAgreeWithTheConversion) {
  for (const listing_shape& shape : {listing_shape{5, 13, -1, {2, 0, 0}}, listing_shape{5, 0}}) {
    SCOPED_TRACE(shape.rows);
    const auto directory = job("job" + std::to_string(shape.rows), standard_listing(shape));
    const auto working_directory = std::filesystem::current_path();
    EXPECT_EQ(convert(directory), outcome::converted);
    EXPECT_EQ(std::filesystem::current_path(), working_directory);
    const auto listing = read_listing(directory / "hdat.out");
    const auto file = read_vector_file(directory / "fort.50");
    ASSERT_TRUE(listing && file);
    EXPECT_EQ(listing->row_count, shape.rows);
    EXPECT_EQ(listing->orbital_labels.size(), static_cast<std::size_t>(shape.rows));
    EXPECT_TRUE(file->orbital_labels.empty());
    EXPECT_EQ(listing->roots, file->roots);
    ASSERT_EQ(listing->coefficients.size(), file->coefficients.size());
    for (std::size_t k = 0; k < vector_count; ++k) {
      EXPECT_EQ(five_decimals(listing->eigenvalues[k]), five_decimals(file->eigenvalues[k]));
    }
    for (std::size_t i = 0; i < file->coefficients.size(); ++i) {
      EXPECT_EQ(five_decimals(listing->coefficients[i]), five_decimals(file->coefficients[i]));
    }
  }
}

TEST_F(Library, AFailureNamesItsFileAndPlace) {
  std::string listing = standard_listing({5, 3});
  const std::size_t row = listing.find("\n  S ") + 1;  // the first row of block A
  listing.replace(row + 43, 8, "0.1x    ");
  const auto directory = job("job", listing);
  try {
    convert(directory);
    FAIL() << "no error";
  } catch (const error& failure) {
    EXPECT_EQ(failure.what_happened(), error::condition::bad_real);
    EXPECT_EQ(failure.file(), directory / "hdat.out");
    EXPECT_EQ(failure.unit(), 4);
    EXPECT_EQ(failure.statement_line(), 25);
    EXPECT_EQ(failure.columns(), std::make_pair(std::int64_t{44}, std::int64_t{51}));
    EXPECT_EQ(failure.field(), "0.1x    ");
    EXPECT_EQ(failure.cause(), "bad real field \"0.1x    \"");
    EXPECT_EQ(std::string(failure.what()),
              "eigpick: hdat.out (unit 4), statement line 25, record " +
                  std::to_string(failure.record()) + ", columns 44-51: " + failure.cause());
  }
  EXPECT_THROW(convert("no such directory"), error);
  EXPECT_EQ(read_file("job/fort.50"), "");
}

}  // namespace
}  // namespace eigpick
