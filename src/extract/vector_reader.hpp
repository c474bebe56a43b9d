#pragma once

#include <array>
#include <cstdint>

#include "extract/listing_reader.hpp"
#include "records/statement.hpp"

namespace extract {

// The vectors a vector file holds, as a later program reads them with the
// formats that wrote them.
struct vector_file_values {
  static constexpr std::size_t vectors = 10;
  std::int32_t row_count = 0;
  std::array<std::int32_t, vectors> root_number{};
  std::array<float, vectors> eigenvalue{};
  // The first row_count values of each vector.
  std::array<std::array<float, block_a_row_limit>, vectors> coefficients{};
};

// Reads the vector file connected to unit 7 into `file`; false when it holds
// the not-found record instead. Each statement has the line of the write
// statement that wrote its records. A count outside 0 to 200 is a bad integer
// field; a field missing from a short record reads as zero, as for any reader.
bool read_vector_file(records::unit_table& units, vector_file_values& file);

}  // namespace extract
