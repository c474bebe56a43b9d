#include "extract/run.hpp"

#include <memory>

#include "extract/listing_reader.hpp"
#include "extract/p_shells.hpp"
#include "extract/statements.hpp"
#include "extract/vector_writer.hpp"

namespace extract {

outcome run_extraction(records::unit_table& units, coefficient_table& table) {
  units.st_open(listing_statement(line::open_listing), listing_file, records::direction::read);
  units.st_open(vector_statement(line::open_vector_file), vector_file, records::direction::write);
  if (!find_marker(units)) {
    units.st_close(listing_unit);
    write_not_found(units);
    units.stop_string();
    return outcome::not_found;
  }
  // Every cell the run reads has been read from the listing or set by
  // read_block_a first.
  read_block_a(units, table);
  reorder_p_shells(table, 4);
  // Block A is in fort.50 before block B is read: a listing cut short in block B
  // still leaves the count and four sections behind.
  write_block_a(units, table);
  read_block_b(units, table);
  // The listing is read: what the run took must all be of one version of it.
  units.st_close(listing_unit);
  reorder_p_shells(table, 6);
  write_block_b(units, table);
  units.stop_string();
  return outcome::converted;
}

outcome run_extraction() {
  // Default-initialised: only the pages the run fills are touched.
  const std::unique_ptr<run_memory> memory(
      new run_memory);  // NOLINT(cppcoreguidelines-owning-memory)
  records::unit_table units(memory->units);
  return run_extraction(units, memory->table);
}

}  // namespace extract
