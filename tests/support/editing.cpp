#include "support/editing.hpp"

#include <gtest/gtest.h>

#include "records/detail/output_editing.hpp"
#include "records/fatal_error.hpp"
#include "support/field_shapes.hpp"

namespace testing_support {

namespace {

constexpr char untouched = '#';

const real_shape& real_shape_for(std::size_t width, std::size_t decimals) {
  const real_shape* shape = find_real_shape(width, decimals);
  if (shape == nullptr) {
    ADD_FAILURE() << "no compiled shape F" << width << '.' << decimals;
    return real_shapes[0];
  }
  return *shape;
}

const integer_shape& integer_shape_for(std::size_t width) {
  const integer_shape* shape = find_integer_shape(width);
  if (shape == nullptr) {
    ADD_FAILURE() << "no compiled shape I" << width;
    return integer_shapes[0];
  }
  return *shape;
}

// Input fields of a width the tables lack take the next wider shape, blanks
// before them: blanks never change a number.
template <typename Shape, std::size_t N, typename Matches>
const Shape* narrowest_fitting(const std::array<Shape, N>& shapes, std::size_t width,
                               Matches matches) {
  const Shape* best = nullptr;
  for (const auto& shape : shapes) {
    if (matches(shape) && shape.width >= width && (best == nullptr || shape.width < best->width)) {
      best = &shape;
    }
  }
  if (best == nullptr) ADD_FAILURE() << "no compiled shape holds a field of " << width;
  return best;
}

std::string blank_padded(std::string_view field, std::size_t width) {
  return std::string(width - field.size(), ' ') + std::string(field);
}

}  // namespace

std::string integer_text(std::int32_t value, std::int32_t width) {
  std::string field(static_cast<std::size_t>(width), untouched);
  const integer_shape& shape = integer_shape_for(field.size());
  field.resize(shape.width, untouched);
  shape.write(value, field.data());
  return field;
}

std::string real_text(float value, std::int32_t width, std::int32_t decimals) {
  std::string field(static_cast<std::size_t>(width), untouched);
  const real_shape& shape = real_shape_for(field.size(), static_cast<std::size_t>(decimals));
  field.resize(shape.width, untouched);
  shape.write(value, field.data());
  return field;
}

std::string real_text_by_text(float value, std::int32_t width, std::int32_t decimals) {
  std::string field(static_cast<std::size_t>(width), untouched);
  records::detail::write_real_field_by_text(value, field.size(), static_cast<std::size_t>(decimals),
                                            field.data());
  return field;
}

records::detail::field_result<std::int32_t> read_integer(std::string_view field) {
  const integer_shape* shape =
      narrowest_fitting(integer_shapes, field.size(), [](const integer_shape&) { return true; });
  if (shape == nullptr) return {};
  return shape->read(blank_padded(field, shape->width));
}

records::detail::field_result<float> read_real(std::string_view field, std::int32_t decimals) {
  const auto d = static_cast<std::size_t>(decimals);
  const real_shape* shape =
      narrowest_fitting(real_shapes, field.size(),
                        [d](const real_shape& candidate) { return candidate.decimals == d; });
  if (shape == nullptr) return {};
  return shape->read(blank_padded(field, shape->width));
}

records::detail::field_result<float> read_real_field_by_text(std::string_view field,
                                                             std::int32_t decimals) {
  return records::detail::read_real_exactly(field, decimals);
}

std::string printable(std::string_view bytes) {
  records::report_line line;
  records::append_printable(line, bytes);
  return std::string(line.view());
}

}  // namespace testing_support
