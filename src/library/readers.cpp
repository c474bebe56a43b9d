#include <algorithm>
#include <memory>
#include <string>

#include "extract/listing_reader.hpp"
#include "extract/p_shells.hpp"
#include "extract/statements.hpp"
#include "extract/vector_reader.hpp"
#include "library/library.hpp"

namespace eigpick {
namespace {

std::string text_of(const extract::label& label) {
  return std::string(extract::as_text(label));
}

// The labels and index fields of block A's rows, and the block's columns, as
// the first vectors of `set`.
void take_block_a(const extract::coefficient_table& table, vector_set& set) {
  const auto rows = static_cast<std::size_t>(table.row_count);
  set.row_count = table.row_count;
  set.coefficients.assign(vector_count * rows, 0.0f);
  for (std::int32_t k = 1; k <= table.row_count; ++k) {
    set.orbital_labels.push_back(text_of(table.row(k).orbital_label));
    set.second_labels.push_back(text_of(table.row(k).second_label));
    set.index_fields.push_back(table.row(k).index_field);
  }
}

// Columns 1 to `columns` of the table as vectors `first`, `first` + 1, ...
void take_columns(const extract::coefficient_table& table, std::size_t columns, std::size_t first,
                  vector_set& set) {
  const auto rows = static_cast<std::size_t>(table.row_count);
  for (std::size_t column = 0; column < columns; ++column) {
    set.roots[first + column] = table.root_number[column];
    set.eigenvalues[first + column] = table.eigenvalue[column];
    std::ranges::copy(
        table.out_column(column),
        set.coefficients.begin() + static_cast<std::ptrdiff_t>((first + column) * rows));
  }
}

// Runs `read` on a table of units in memory of its own; a failure becomes the
// library's error, naming `file`.
template <typename Read>
auto with_units(const std::filesystem::path& file, Read read) {
  // Default-initialised: only the pages the reading fills are touched.
  const std::unique_ptr<extract::run_memory> memory(
      new extract::run_memory);  // NOLINT(cppcoreguidelines-owning-memory)
  try {
    records::unit_table units(memory->units);
    return read(units, memory->table);
  } catch (const records::fatal_error& failure) {
    throw library::error_of(failure, file);
  }
}

// A listing that ends while the marker is sought has no marker, as one of 500
// records without it: for a reader both are the same.
bool listing_has_marker(records::unit_table& units) {
  try {
    return extract::find_marker(units);
  } catch (const records::fatal_error& failure) {
    if (failure.what_happened == records::condition::end_of_file) return false;
    throw;
  }
}

}  // namespace

std::optional<vector_set> read_listing(const std::filesystem::path& listing) {
  return with_units(listing,
                    [&listing](records::unit_table& units, extract::coefficient_table& table) {
                      using namespace extract;
                      units.st_open(listing_statement(line::open_listing), listing.native(),
                                    records::direction::read);
                      std::optional<vector_set> set;
                      if (!listing_has_marker(units)) return set;
                      read_block_a(units, table);
                      reorder_p_shells(table, 4);
                      take_block_a(table, set.emplace());
                      take_columns(table, 4, 0, *set);
                      read_block_b(units, table);
                      reorder_p_shells(table, 6);
                      take_columns(table, 6, 4, *set);
                      // The listing must be as it was when first read.
                      units.stop_string();
                      return set;
                    });
}

std::optional<vector_set> read_vector_file(const std::filesystem::path& vector_file) {
  return with_units(vector_file, [&vector_file](records::unit_table& units,
                                                extract::coefficient_table& /*unused*/) {
    using namespace extract;
    units.st_open(vector_statement(line::open_vector_file), vector_file.native(),
                  records::direction::read);
    std::optional<vector_set> set;
    // The file's values, in memory of the reading's own.
    const auto file = std::make_unique<extract::vector_file_values>();
    if (!extract::read_vector_file(units, *file)) return set;
    units.stop_string();
    const auto rows = static_cast<std::size_t>(file->row_count);
    set.emplace();
    set->row_count = file->row_count;
    set->roots = file->root_number;
    set->eigenvalues = file->eigenvalue;
    for (const auto& values : file->coefficients) {
      set->coefficients.insert(set->coefficients.end(), values.begin(),
                               values.begin() + static_cast<std::ptrdiff_t>(rows));
    }
    return set;
  });
}

}  // namespace eigpick
