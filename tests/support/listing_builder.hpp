#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace testing_support {

// Right-justifies text in a field of `width` columns (longer text is kept whole).
std::string field(std::string_view text, std::size_t width);
// "%8.5f"-style F8.5 text, "%8.3f" F8.3 text.
std::string f8_5(double value);
std::string f8_3(double value);

// Writes an eigenvector listing record by record, every field in its columns.
class listing_builder {
 public:
  listing_builder& line(std::string_view text);
  // Records that look like a banner but hold no marker.
  listing_builder& banner(int records);
  // 16 blanks, then "EIGENVECTORS": "EIGE" in columns 17-20.
  listing_builder& marker();
  // Records M+1 to M+8: root numbers at columns 42-73, eigenvalues at 44-75.
  listing_builder& block_a_header(const std::array<std::int32_t, 4>& roots,
                                  const std::array<std::string, 4>& eigenvalue_fields);
  // Labels in columns 1-8, index I3, 32 unread columns, four F8.5 fields.
  listing_builder& block_a_row(std::string_view label, std::string_view index_field,
                               const std::array<std::string, 4>& coefficient_fields);
  // Records T+1 to T+7: root numbers I6 at 12-17 and I8 to 57, eigenvalues at 12-59.
  listing_builder& block_b_header(const std::array<std::int32_t, 6>& roots,
                                  const std::array<std::string, 6>& eigenvalue_fields);
  // Labels in columns 1-8, index I3, six F8.5 fields.
  listing_builder& block_b_row(std::string_view label, std::string_view index_field,
                               const std::array<std::string, 6>& coefficient_fields);

  const std::string& text() const { return text_; }
  int records() const { return records_; }

 private:
  std::string text_;
  int records_ = 0;
};

// A complete listing: a banner, the marker, block A with `rows` rows ended by a
// blank record (none when rows is 200), block B with `rows_b` rows, and a trailer.
// Coefficient (k, j) of block A is k/1000 + j/10; of block B, -(k/1000 + j/10).
// Rows labelled "  Px" start p shells at the rows listed in `p_shell_rows`.
struct listing_shape {
  int banner_records = 5;
  int rows = 3;
  int rows_b = -1;                    // -1: the same as rows
  std::array<int, 3> p_shell_rows{};  // 1-based first rows; 0 = unused
};
std::string standard_listing(const listing_shape& shape);
double standard_coefficient_a(int row, int column);
double standard_coefficient_b(int row, int column);

}  // namespace testing_support
