// Micro-benchmarks of the record layer's hot paths: the read statement of one
// block row, a row of six F8.5 fields in the printed shape and in odd
// spellings, Fw.d and Iw input of the listing's fields one by one, F10.5 and Iw
// output, a record of twelve F10.5 values, and a coefficient write statement.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "records/detail/input_editing.hpp"
#include "records/detail/output_editing.hpp"
#include "records/statement.hpp"

namespace {

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
template <records::format_text Format, std::size_t columns>
void read_block_row(benchmark::State& state) {
  const row_listing listing(columns == 4 ? 8 : columns);
  auto units = std::make_unique<records::unit_table>();
  table_row into;
  int rows_left = 0;
  for (auto _ : state) {
    if (rows_left == 0) {
      // Reconnecting starts the listing again before its end is reached.
      state.PauseTiming();
      units->st_open({4, "eigpick", 8}, listing.name(), records::direction::read);
      rows_left = listing_rows;
      state.ResumeTiming();
    }
    records::read<Format>(*units, {4, "eigpick", columns == 4 ? 25 : 74}, into.orbital_label,
                          into.second_label, into.index_field,
                          std::span<float, columns>(into.coef.data(), columns));
    benchmark::DoNotOptimize(into);
    --rows_left;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(read_block_row<"(2A4,I3,32X,4F8.5)", 4>)->Name("read_block_row/block_a");
BENCHMARK(read_block_row<"(2A4,I3,6F8.5)", 6>)->Name("read_block_row/block_b");

// Fields and values are passed through DoNotOptimize so that nothing is worked
// out while compiling.
// The plans of the field shapes, as a channel keeps them.
records::detail::shape_table::memory shape_room;
records::detail::shape_table shapes(shape_room);

template <std::size_t Width, std::int32_t Decimals>
void read_real(benchmark::State& state, std::string_view field) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(field);
    benchmark::DoNotOptimize(records::detail::read_real_field<Width, Decimals>(field, shapes));
  }
}
// The macros take a plain name.
void read_f8_5(benchmark::State& state, std::string_view field) {
  read_real<8, 5>(state, field);
}
void read_f8_3(benchmark::State& state, std::string_view field) {
  read_real<8, 3>(state, field);
}
BENCHMARK_CAPTURE(read_f8_5, point, " 0.99412");
BENCHMARK_CAPTURE(read_f8_5, negative, "-0.21051");
BENCHMARK_CAPTURE(read_f8_5, no_point, "   10937");
BENCHMARK_CAPTURE(read_f8_5, exponent, "-9.854-2");
BENCHMARK_CAPTURE(read_f8_5, d_exponent, " 7.25D-3");
BENCHMARK_CAPTURE(read_f8_5, blank_inside, "0.50 923");
BENCHMARK_CAPTURE(read_f8_5, blank, "        ");
BENCHMARK_CAPTURE(read_f8_3, eigenvalue, " -20.558");

// Six F8.5 fields side by side, as block B's rows hold them.
void read_f8_5_row(benchmark::State& state, std::string_view row) {
  std::array<float, 6> values{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(row);
    benchmark::DoNotOptimize(
        records::detail::read_real_row<8, 5, 6>(row.data(), values.data(), shapes));
    benchmark::DoNotOptimize(values);
  }
  state.SetItemsProcessed(state.iterations() * 6);
}
BENCHMARK_CAPTURE(read_f8_5_row, printed, " 0.78585-0.17435-0.36038-0.86714-0.00748 0.27688");
BENCHMARK_CAPTURE(read_f8_5_row, one_odd, " 0.78585-0.17435-3.60E-1-0.86714-0.00748 0.27688");
BENCHMARK_CAPTURE(read_f8_5_row, all_odd, "7.859E-1-1.74e-1   36038-8.67d-1 -7.48-30 .27688");

template <std::size_t Width>
void read_integer(benchmark::State& state, std::string_view field) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(field);
    benchmark::DoNotOptimize(records::detail::read_integer_field<Width>(field, shapes));
  }
}
void read_i3(benchmark::State& state, std::string_view field) {
  read_integer<3>(state, field);
}
void read_i8(benchmark::State& state, std::string_view field) {
  read_integer<8>(state, field);
}
BENCHMARK_CAPTURE(read_i3, index, " 17");
BENCHMARK_CAPTURE(read_i3, signed_index, "+17");
BENCHMARK_CAPTURE(read_i8, root, "      12");

// F10.5, as the vector file's values are edited.
void write_real(benchmark::State& state, float value) {
  std::array<char, 10> field{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    records::detail::write_real_field<10, 5>(value, field.data());
    benchmark::DoNotOptimize(field.data());
  }
}
BENCHMARK_CAPTURE(write_real, f10_5_typical, 0.99412f);
BENCHMARK_CAPTURE(write_real, f10_5_negative, -0.21051f);
BENCHMARK_CAPTURE(write_real, f10_5_zero, 0.0f);
BENCHMARK_CAPTURE(write_real, f10_5_eigenvalue, -20.558f);
BENCHMARK_CAPTURE(write_real, f10_5_overflow, 12345.6f);

// A record of twelve F10.5 values at once, as the vector file's are edited.
void write_real_record(benchmark::State& state) {
  std::array<float, 12> values{};
  for (std::size_t k = 0; k < values.size(); ++k)
    values[k] = static_cast<float>(k) / 13.0f - 0.5f;
  std::array<char, 120> record{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(values);
    records::detail::write_real_row<10, 5>(values.data(), values.size(), record.data());
    benchmark::DoNotOptimize(record.data());
  }
  state.SetItemsProcessed(state.iterations() * 12);
}
BENCHMARK(write_real_record);

template <std::size_t Width>
void write_integer(benchmark::State& state, std::int32_t value) {
  std::array<char, Width> field{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    records::detail::write_integer_field<Width>(value, field.data());
    benchmark::DoNotOptimize(field.data());
  }
}
void write_i3(benchmark::State& state, std::int32_t value) {
  write_integer<3>(state, value);
}
void write_i5(benchmark::State& state, std::int32_t value) {
  write_integer<5>(state, value);
}
BENCHMARK_CAPTURE(write_i3, root, 12);
BENCHMARK_CAPTURE(write_i5, count, 200);

// One coefficient statement of 200 values to /dev/null, as the vector file
// writer issues it for each column.
void write_coefficients(benchmark::State& state) {
  auto units = std::make_unique<records::unit_table>();
  units->st_open({7, "eigpick", 9}, "/dev/null", records::direction::write);
  std::array<float, 200> values{};
  for (std::size_t k = 0; k < values.size(); ++k)
    values[k] = static_cast<float>(k) / 201.0f - 0.5f;
  for (auto _ : state) {
    records::write<"(12F10.5)">(*units, {7, "eigpick", 53}, std::span<const float>(values));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(write_coefficients);

}  // namespace

BENCHMARK_MAIN();
