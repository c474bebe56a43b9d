#include "support/editing.hpp"

#include "records/detail/output_editing.hpp"
#include "records/fatal_error.hpp"
#include "records/format.hpp"

namespace testing_support {

namespace {
constexpr char untouched = '#';
}

std::string integer_text(std::int32_t value, std::int32_t width) {
  std::string field(static_cast<std::size_t>(width), untouched);
  records::detail::write_integer_field(value, field);
  return field;
}

std::string real_text(float value, std::int32_t width, std::int32_t decimals) {
  std::string field(static_cast<std::size_t>(width), untouched);
  records::detail::write_real_field(value, decimals, field);
  return field;
}

std::string real_text_f10_5(float value) {
  std::string field(10, untouched);
  records::detail::write_real_field<10, 5>(value, field.data());
  return field;
}

records::detail::field_result<float> read_real_field_by_text(std::string_view field,
                                                             std::int32_t decimals) {
  if (field.size() > static_cast<std::size_t>(records::max_field_width)) {
    return {0.0f, records::detail::field_failure::too_wide};
  }
  return records::detail::real_value_by_text(records::detail::scan_number_bytewise(field, decimals),
                                             field);
}

std::string printable(std::string_view bytes) {
  records::report_line line;
  records::append_printable(line, bytes);
  return std::string(line.view());
}

}  // namespace testing_support
