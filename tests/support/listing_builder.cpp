#include "support/listing_builder.hpp"

#include <algorithm>
#include <cstdio>

namespace testing_support {

std::string field(std::string_view text, std::size_t width) {
  std::string out(width > text.size() ? width - text.size() : 0, ' ');
  out += text;
  return out;
}

namespace {
std::string printf_field(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}
std::string label_columns(std::string_view label) {
  std::string out(label.substr(0, std::min<std::size_t>(label.size(), 8)));
  out.resize(8, ' ');
  return out;
}
}  // namespace

std::string f8_5(double value) {
  return printf_field("%8.5f", value);
}
std::string f8_3(double value) {
  return printf_field("%8.3f", value);
}

listing_builder& listing_builder::line(std::string_view text) {
  text_ += text;
  text_ += '\n';
  ++records_;
  return *this;
}

listing_builder& listing_builder::banner(int records) {
  for (int i = 0; i < records; ++i)
    line("  BANNER RECORD " + std::to_string(i + 1));
  return *this;
}

listing_builder& listing_builder::marker() {
  return line("                EIGENVECTORS");
}

listing_builder& listing_builder::block_a_header(
    const std::array<std::int32_t, 4>& roots, const std::array<std::string, 4>& eigenvalue_fields) {
  line("");
  line("                     ROOT NO.");
  std::string root_record(41, ' ');
  for (const auto root : roots)
    root_record += field(std::to_string(root), 8);
  line(root_record);
  line("");
  line("                 A1      A1      B2      A1");
  line("");
  std::string eigen_record(43, ' ');
  for (const auto& value : eigenvalue_fields)
    eigen_record += field(value, 8);
  line(eigen_record);
  return line("");
}

listing_builder& listing_builder::block_a_row(
    std::string_view label, std::string_view index_field,
    const std::array<std::string, 4>& coefficient_fields) {
  std::string record = label_columns(label) + field(index_field, 3);
  record += " 0.11111 0.22222 0.33333 0.44444";  // columns 12-43: never read
  for (const auto& value : coefficient_fields)
    record += field(value, 8);
  return line(record);
}

listing_builder& listing_builder::block_b_header(
    const std::array<std::int32_t, 6>& roots, const std::array<std::string, 6>& eigenvalue_fields) {
  line("");
  std::string root_record(11, ' ');
  root_record += field(std::to_string(roots[0]), 6);
  for (std::size_t j = 1; j < 6; ++j)
    root_record += field(std::to_string(roots[j]), 8);
  line(root_record);
  line("");
  line("                 B1      A1      B2      A1      A2      B2");
  line("");
  std::string eigen_record(11, ' ');
  for (const auto& value : eigenvalue_fields)
    eigen_record += field(value, 8);
  line(eigen_record);
  return line("");
}

listing_builder& listing_builder::block_b_row(
    std::string_view label, std::string_view index_field,
    const std::array<std::string, 6>& coefficient_fields) {
  std::string record = label_columns(label) + field(index_field, 3);
  for (const auto& value : coefficient_fields)
    record += field(value, 8);
  return line(record);
}

double standard_coefficient_a(int row, int column) {
  return row / 1000.0 + column / 10.0;
}
double standard_coefficient_b(int row, int column) {
  return -(row / 1000.0 + column / 10.0);
}

std::string standard_listing(const listing_shape& shape) {
  const int rows_b = shape.rows_b < 0 ? shape.rows : shape.rows_b;
  auto label_of = [&](int k) -> std::string {
    for (const int first : shape.p_shell_rows) {
      if (first == 0) continue;
      if (k == first) return "  Px";
      if (k == first + 1) return "  Py";
      if (k == first + 2) return "  Pz";
    }
    return "  S ";
  };
  listing_builder listing;
  listing.banner(shape.banner_records).marker();
  listing.block_a_header({1, 2, 3, 4}, {f8_3(-1.5), f8_3(-0.5), f8_3(0.25), f8_3(1.0)});
  for (int k = 1; k <= shape.rows; ++k) {
    std::array<std::string, 4> coefs;
    for (int j = 0; j < 4; ++j)
      coefs[static_cast<std::size_t>(j)] = f8_5(standard_coefficient_a(k, j + 1));
    listing.block_a_row(label_of(k) + " C 1", std::to_string(k), coefs);
  }
  if (shape.rows < 200) listing.line("");
  listing.block_b_header({5, 6, 7, 8, 9, 10},
                         {f8_3(1.5), f8_3(2.5), f8_3(3.5), f8_3(4.5), f8_3(5.5), f8_3(6.5)});
  for (int k = 1; k <= rows_b; ++k) {
    std::array<std::string, 6> coefs;
    for (int j = 0; j < 6; ++j)
      coefs[static_cast<std::size_t>(j)] = f8_5(standard_coefficient_b(k, j + 1));
    listing.block_b_row(label_of(k) + " C 1", std::to_string(k), coefs);
  }
  listing.line("  TRAILER: NEVER READ");
  return listing.text();
}

}  // namespace testing_support
