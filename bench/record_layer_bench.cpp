// Micro-benchmarks of the record layer's hot paths: the read statement of one
// block row, Fw.d and Iw input, Fw.d output, and the format cache.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "records/format.hpp"
#include "records/input_editing.hpp"
#include "records/output_editing.hpp"
#include "records/statement.hpp"
#include "records/unit_table.hpp"

namespace {

using records::statement_params;

// Rows in a benchmark listing: enough that the reader refills its 64 KiB block
// hundreds of times, so the cost per row includes the system calls.
constexpr int listing_rows = 100000;

// A listing of rows shaped as block A's (eight coefficients) or block B's (six),
// removed when the benchmark ends.
class row_listing {
 public:
  explicit row_listing(int coefficients) {
    path_ = std::filesystem::temp_directory_path() /
            ("eigpick-bench-" + std::to_string(::getpid()) + "-" + std::to_string(coefficients));
    std::ofstream out(path_);
    static constexpr std::array<std::string_view, 4> labels = {"  S ", "  Px", "  Py", "  Pz"};
    std::array<char, 16> field{};
    for (int k = 1; k <= listing_rows; ++k) {
      out << labels[static_cast<std::size_t>(k) % labels.size()] << " O 1";
      std::snprintf(field.data(), field.size(), "%3d", k % 1000);
      out << field.data();
      for (int j = 1; j <= coefficients; ++j) {
        // Typical coefficients: both signs, magnitudes below 1.
        const double value = ((k * 7919 + j * 104729) % 200001 - 100000) / 100001.0;
        std::snprintf(field.data(), field.size(), "%8.5f", value);
        out << field.data();
      }
      out << '\n';
    }
    name_ = path_.string();
  }
  ~row_listing() { std::filesystem::remove(path_); }
  row_listing(const row_listing&) = delete;
  row_listing& operator=(const row_listing&) = delete;

  const std::string& name() const { return name_; }

 private:
  std::filesystem::path path_;
  std::string name_;
};

struct table_row {
  std::array<char, 4> orbital_label{};
  std::array<char, 4> second_label{};
  std::int32_t index_field = 0;
  std::array<float, 6> coef{};
};

// One statement per iteration, as the listing reader issues it for each row.
void read_block_row(benchmark::State& state, std::string_view format, int columns) {
  const row_listing listing(columns == 4 ? 8 : columns);
  const statement_params open{4, "eigpick", 8, listing.name()};
  const statement_params row{4, "eigpick", columns == 4 ? 25 : 74, format};
  table_row into;
  int rows_left = 0;
  for (auto _ : state) {
    if (rows_left == 0) {
      // Reconnecting starts the listing again before its end is reached.
      state.PauseTiming();
      records::st_open(open);
      rows_left = listing_rows;
      state.ResumeTiming();
    }
    records::st_read(row);
    records::transfer_character(row, into.orbital_label);
    records::transfer_character(row, into.second_label);
    records::transfer_integer(row, into.index_field);
    for (int j = 0; j < columns; ++j)
      records::transfer_real(row, into.coef[static_cast<std::size_t>(j)]);
    records::st_read_done(row);
    benchmark::DoNotOptimize(into);
    --rows_left;
  }
  (void)records::connected_units().close_all();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(read_block_row, block_a, "(2A4,I3,32X,4F8.5)", 4);
BENCHMARK_CAPTURE(read_block_row, block_b, "(2A4,I3,6F8.5)", 6);

void read_real(benchmark::State& state, std::string_view field, std::int32_t decimals) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(field);
    benchmark::DoNotOptimize(records::read_real_field(field, decimals));
  }
}
BENCHMARK_CAPTURE(read_real, f8_5_point, " 0.99412", 5);
BENCHMARK_CAPTURE(read_real, f8_5_negative, "-0.21051", 5);
BENCHMARK_CAPTURE(read_real, f8_5_no_point, "   10937", 5);
BENCHMARK_CAPTURE(read_real, f8_5_exponent, "-9.854-2", 5);
BENCHMARK_CAPTURE(read_real, f8_5_d_exponent, " 7.25D-3", 5);
BENCHMARK_CAPTURE(read_real, f8_5_blank, "        ", 5);
BENCHMARK_CAPTURE(read_real, f8_3_eigenvalue, " -20.558", 3);

void read_integer(benchmark::State& state, std::string_view field) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(field);
    benchmark::DoNotOptimize(records::read_integer_field(field));
  }
}
BENCHMARK_CAPTURE(read_integer, i3_index, " 17");
BENCHMARK_CAPTURE(read_integer, i8_root, "      12");

void write_real(benchmark::State& state, float value, std::int32_t width, std::int32_t decimals) {
  std::string record;
  record.reserve(256);
  for (auto _ : state) {
    record.clear();
    benchmark::DoNotOptimize(value);
    records::write_real_field(value, width, decimals, record);
    benchmark::DoNotOptimize(record.data());
  }
}
BENCHMARK_CAPTURE(write_real, f10_5_typical, 0.99412f, 10, 5);
BENCHMARK_CAPTURE(write_real, f10_5_negative, -0.21051f, 10, 5);
BENCHMARK_CAPTURE(write_real, f10_5_zero, 0.0f, 10, 5);
BENCHMARK_CAPTURE(write_real, f10_5_eigenvalue, -20.558f, 10, 5);
BENCHMARK_CAPTURE(write_real, f10_5_overflow, 12345.6f, 10, 5);

void write_integer(benchmark::State& state, std::int32_t value, std::int32_t width) {
  std::string record;
  record.reserve(256);
  for (auto _ : state) {
    record.clear();
    benchmark::DoNotOptimize(value);
    records::write_integer_field(value, width, record);
    benchmark::DoNotOptimize(record.data());
  }
}
BENCHMARK_CAPTURE(write_integer, i3_root, 12, 3);
BENCHMARK_CAPTURE(write_integer, i5_count, 200, 5);

// Every format text the program uses, so the cache holds what it holds in a run.
constexpr std::array<std::string_view, 14> program_formats = {
    "(16X,2A4)",
    "(/,3X,2A4,2X,I4,4X,I4)",
    "(9X,32X,4I8)",
    "(//,2A4)",
    "(11X,32X,4F8.3)",
    "(2A4,I3,32X,4F8.5)",
    "(/,11X,I6,5I8)",
    "(11X,6F8.3)",
    "(2A4,I3,6F8.5)",
    "('Eigenvectors are not found')",
    "(I5)",
    "(//,'    E (',I3,' ) = ',F10.5)",
    "(12F10.5)",
    "(//,'    E (',I3,' ) = ',F10.5,'  1')",
};

void fill_format_cache() {
  for (const auto text : program_formats)
    benchmark::DoNotOptimize(records::cached_format(text));
}

// Consecutive statements with one format, as in a block's rows.
void format_cache_repeat(benchmark::State& state) {
  fill_format_cache();
  const std::string_view text = "(2A4,I3,6F8.5)";
  for (auto _ : state)
    benchmark::DoNotOptimize(records::cached_format(text));
}
BENCHMARK(format_cache_repeat);

// Each lookup a different format than the last, as in the headers.
void format_cache_rotate(benchmark::State& state) {
  fill_format_cache();
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(records::cached_format(program_formats[next]));
    next = next + 1 == program_formats.size() ? 0 : next + 1;
  }
}
BENCHMARK(format_cache_rotate);

}  // namespace

BENCHMARK_MAIN();
