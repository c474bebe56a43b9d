#include "extract/run.hpp"

#include "extract/listing_reader.hpp"
#include "extract/p_shells.hpp"
#include "extract/statements.hpp"
#include "extract/vector_writer.hpp"

namespace extract {

void run_extraction() {
  records::st_open(listing_statement(8, "hdat.out"));
  records::st_open(vector_statement(9, "fort.50"));
  if (!find_marker()) {
    write_not_found();
    records::stop_string();
    return;
  }
  coefficient_table table;
  read_block_a(table);
  reorder_p_shells(table, 4);
  // Block A is in fort.50 before block B is read: a listing cut short in block B
  // still leaves the count and four sections behind.
  write_block_a(table);
  read_block_b(table);
  reorder_p_shells(table, 6);
  write_block_b(table);
  records::stop_string();
}

}  // namespace extract
