#include "extract/listing_reader.hpp"

#include <array>
#include <charconv>
#include <span>

#include "extract/statements.hpp"
#include "records/fatal_error.hpp"

namespace extract {
namespace {

using records::format_text;

constexpr format_text search_format = "(16X,2A4)";
constexpr format_text block_a_title_format = "(/,3X,2A4,2X,I4,4X,I4)";
constexpr format_text block_a_roots_format = "(9X,32X,4I8)";
constexpr format_text symmetry_format = "(//,2A4)";
constexpr format_text block_a_eigenvalues_format = "(11X,32X,4F8.3)";
constexpr format_text block_a_row_format = "(2A4,I3,32X,4F8.5)";
constexpr format_text block_b_roots_format = "(/,11X,I6,5I8)";
constexpr format_text block_b_eigenvalues_format = "(11X,6F8.3)";
constexpr format_text block_b_row_format = "(2A4,I3,6F8.5)";

// The search and the header skips read two words into scratch; only the search
// looks at them.
template <format_text Format>
label read_two_words(records::unit_table& units, std::int32_t statement_line) {
  label first;
  label second;
  records::read<Format>(units, listing_statement(statement_line), first, second);
  return first;
}

template <format_text Format, std::size_t columns>
void read_row(records::unit_table& units, const records::statement_params& statement,
              table_row& row) {
  records::read<Format>(units, statement, row.orbital_label, row.second_label, row.index_field,
                        std::span<float, columns>(row.coef.data(), columns));
}

// Rows past N that a p shell starting in row N-1 or N takes its coefficients
// from: zeros where no row was read, so that the run never depends on what the
// memory held before.
void clear_rows_past_block(coefficient_table& table, bool terminated) {
  const std::int32_t n = table.row_count;
  if (terminated) {
    // The terminating row keeps its four coefficients as read.
    table.row(n + 1).coef[4] = 0.0f;
    table.row(n + 1).coef[5] = 0.0f;
  } else {
    table.row(n + 1).coef = {};
  }
  table.row(n + 2).coef = {};
}

void read_block_a_header(records::unit_table& units, coefficient_table& table) {
  const auto roots = std::span(table.root_number).first<4>();
  const auto eigenvalues = std::span(table.eigenvalue).first<4>();
  read_two_words<block_a_title_format>(units, line::block_a_title);
  records::read<block_a_roots_format>(units, listing_statement(line::block_a_roots), roots);
  read_two_words<symmetry_format>(units, line::block_a_symmetry);
  records::read<block_a_eigenvalues_format>(units, listing_statement(line::block_a_eigenvalues),
                                            eigenvalues);
  read_two_words<search_format>(units, line::block_a_heading);
}

void read_block_b_header(records::unit_table& units, coefficient_table& table) {
  records::read<block_b_roots_format>(units, listing_statement(line::block_b_roots),
                                      std::span(table.root_number));
  read_two_words<symmetry_format>(units, line::block_b_symmetry);
  records::read<block_b_eigenvalues_format>(units, listing_statement(line::block_b_eigenvalues),
                                            std::span(table.eigenvalue));
  read_two_words<search_format>(units, line::block_b_heading);
}

// Where the reading of a block stands, for the report of a listing that ends
// inside it.
struct block_progress {
  char block = 'A';
  bool header_read = false;
  std::int32_t rows_read = 0;
  std::int32_t rows_wanted = 0;  // 0 where the block ends at a zero index field
};

void append_count(records::reason_text& text, std::int32_t count) {
  std::array<char, 12> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), count).ptr;
  text.append({digits.data(), static_cast<std::size_t>(end - digits.data())});
}

// An end of file the record layer has no words for gets the run's own: what the
// listing lacks. Any other failure passes unchanged.
bool needs_cause(const records::fatal_error& error) {
  return error.what_happened == records::condition::end_of_file && error.detail.empty();
}

// Block A takes at most 200 rows. A listing with more goes on with rows where
// block B's header should be, and fails there: an end of file or a field that
// holds no number. The report says so, after any cause it already gives.
void explain_row_limit(records::fatal_error& error) {
  const records::condition what = error.what_happened;
  if (what != records::condition::end_of_file && what != records::condition::bad_integer &&
      what != records::condition::bad_real) {
    return;
  }
  records::reason_text& cause = error.detail;
  if (!cause.empty()) cause.append("; ");
  cause.append("block A stopped at its limit of ");
  append_count(cause, block_a_row_limit);
  cause.append(" rows, so the listing may hold more rows than the run takes");
}

void explain_search_end(records::fatal_error& error) {
  if (needs_cause(error)) error.detail = "no record holds \"EIGE\" in columns 17-20";
}

void explain_block_end(records::fatal_error& error, const block_progress& progress) {
  if (!needs_cause(error)) return;
  records::reason_text& cause = error.detail;
  cause = "the listing ends ";
  if (!progress.header_read) {
    cause.append("in the header of block ");
    cause.push_back(progress.block);
    return;
  }
  cause.append("in block ");
  cause.push_back(progress.block);
  cause.append(" after ");
  append_count(cause, progress.rows_read);
  if (progress.rows_wanted == 0) {
    cause.append(progress.rows_read == 1 ? " row" : " rows");
    cause.append(", before the row with a zero index that ends it");
  } else {
    cause.append(" of its ");
    append_count(cause, progress.rows_wanted);
    cause.append(progress.rows_wanted == 1 ? " row" : " rows");
  }
}

}  // namespace

bool find_marker(records::unit_table& units) {
  try {
    // Each record is tested as "(16X,2A4)" would read it: columns 17-20, and
    // nothing else, compared exactly.
    const records::statement_params search = listing_statement(line::marker_search);
    for (std::int32_t count = 1; count <= marker_search_limit; ++count) {
      if (records::record_holds(units, search, marker_column, marker)) return true;
    }
  } catch (records::fatal_error& error) {
    explain_search_end(error);
    throw;
  }
  return false;
}

void read_block_a(records::unit_table& units, coefficient_table& table) {
  block_progress progress{'A'};
  try {
    read_block_a_header(units, table);
    progress.header_read = true;
    const records::statement_params row_statement = listing_statement(line::block_a_row);
    for (std::int32_t k = 1;; ++k) {
      read_row<block_a_row_format, 4>(units, row_statement, table.row(k));
      // A blank index field reads as zero, so a blank record ends the block too.
      if (table.row(k).index_field == 0) {
        table.row_count = k - 1;
        clear_rows_past_block(table, true);
        return;
      }
      progress.rows_read = k;
      if (k == block_a_row_limit) {
        table.row_count = k;
        clear_rows_past_block(table, false);
        return;
      }
    }
  } catch (records::fatal_error& error) {
    explain_block_end(error, progress);
    throw;
  }
}

void read_block_b(records::unit_table& units, coefficient_table& table) {
  block_progress progress{'B', false, 0, table.row_count};
  try {
    read_block_b_header(units, table);
    progress.header_read = true;
    // Block B tests nothing: it takes block A's N rows whatever they hold.
    const records::statement_params row_statement = listing_statement(line::block_b_row);
    for (std::int32_t k = 1; k <= table.row_count; ++k) {
      read_row<block_b_row_format, 6>(units, row_statement, table.row(k));
      progress.rows_read = k;
    }
  } catch (records::fatal_error& error) {
    explain_block_end(error, progress);
    if (!progress.header_read && table.row_count == block_a_row_limit) explain_row_limit(error);
    throw;
  }
}

}  // namespace extract
