#pragma once

// The field shapes that tests, fuzzers and the corpus replay put through the
// editing, each compiled with its width and decimals as constants, as a
// statement compiles them: every Fw.d of w <= 12, a few wider ones up to the
// widest, and Iw of the same widths. A shape is found by its w and d.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "records/detail/input_editing.hpp"
#include "records/detail/output_editing.hpp"

namespace testing_support {

struct real_shape {
  std::size_t width = 0;
  std::size_t decimals = 0;
  void (*write)(float, char*) = nullptr;
  records::detail::field_result<float> (*read)(std::string_view) = nullptr;
  // Two fields side by side, as a row of them is read.
  records::detail::row_result (*read_pair)(const char*, float*) = nullptr;
};

struct integer_shape {
  std::size_t width = 0;
  void (*write)(std::int32_t, char*) = nullptr;
  records::detail::field_result<std::int32_t> (*read)(std::string_view) = nullptr;
};

// The plans of field shapes, shared by every reading on a thread as a
// channel's are by all its records: a shape met once is read by its plan
// after, planned again only when another shape takes its slot.
inline records::detail::shape_table& shared_shapes() {
  thread_local records::detail::shape_table::memory room;
  thread_local records::detail::shape_table table(room);
  return table;
}

// The editing's readers, with the shared plans.
template <std::size_t W, std::int32_t D>
records::detail::field_result<float> real_field(std::string_view field) {
  return records::detail::read_real_field<W, D>(field, shared_shapes());
}
template <std::size_t W, std::int32_t D, std::size_t Count>
records::detail::row_result real_row(const char* columns, float* values) {
  return records::detail::read_real_row<W, D, Count>(columns, values, shared_shapes());
}
template <std::size_t W>
records::detail::field_result<std::int32_t> integer_field(std::string_view field) {
  return records::detail::read_integer_field<W>(field, shared_shapes());
}

namespace shapes_detail {

template <std::size_t W, std::size_t D>
constexpr real_shape real_of() {
  return {W, D, &records::detail::write_real_field<W, D>,
          &real_field<W, static_cast<std::int32_t>(D)>,
          &real_row<W, static_cast<std::int32_t>(D), 2>};
}

template <std::size_t W>
constexpr integer_shape integer_of() {
  return {W, &records::detail::write_integer_field<W>, &integer_field<W>};
}

template <typename T, std::size_t... N>
constexpr auto joined(const std::array<T, N>&... parts) {
  std::array<T, (N + ...)> all{};
  std::size_t at = 0;
  ((std::copy(parts.begin(), parts.end(), all.begin() + static_cast<std::ptrdiff_t>(at)), at += N),
   ...);
  return all;
}

template <std::size_t W, std::size_t... D>
constexpr std::array<real_shape, sizeof...(D)> every_decimals(std::index_sequence<D...>) {
  return {real_of<W, D>()...};
}

template <std::size_t... W>
constexpr auto every_narrow_real(std::index_sequence<W...>) {
  return joined(every_decimals<W + 1>(std::make_index_sequence<W + 2>{})...);
}

template <std::size_t... W>
constexpr auto every_narrow_integer(std::index_sequence<W...>) {
  return std::array<integer_shape, sizeof...(W)>{integer_of<W + 1>()...};
}

}  // namespace shapes_detail

inline constexpr auto real_shapes = shapes_detail::joined(
    shapes_detail::every_narrow_real(std::make_index_sequence<12>{}),
    std::array{shapes_detail::real_of<16, 0>(), shapes_detail::real_of<16, 5>(),
               shapes_detail::real_of<16, 9>(), shapes_detail::real_of<16, 16>(),
               shapes_detail::real_of<20, 0>(), shapes_detail::real_of<20, 10>(),
               shapes_detail::real_of<20, 12>(), shapes_detail::real_of<30, 15>(),
               shapes_detail::real_of<40, 0>(), shapes_detail::real_of<40, 5>(),
               shapes_detail::real_of<46, 5>(), shapes_detail::real_of<255, 0>(),
               shapes_detail::real_of<255, 5>(), shapes_detail::real_of<255, 255>()});

inline constexpr auto integer_shapes = shapes_detail::joined(
    shapes_detail::every_narrow_integer(std::make_index_sequence<12>{}),
    std::array{shapes_detail::integer_of<16>(), shapes_detail::integer_of<20>(),
               shapes_detail::integer_of<40>(), shapes_detail::integer_of<255>()});

// The shape of Fw.d or Iw, or nullptr where the tables have none.
constexpr const real_shape* find_real_shape(std::size_t width, std::size_t decimals) {
  for (const auto& shape : real_shapes) {
    if (shape.width == width && shape.decimals == decimals) return &shape;
  }
  return nullptr;
}
constexpr const integer_shape* find_integer_shape(std::size_t width) {
  for (const auto& shape : integer_shapes) {
    if (shape.width == width) return &shape;
  }
  return nullptr;
}

}  // namespace testing_support
