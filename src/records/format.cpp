#include "records/format.hpp"

namespace records {
namespace {

// Stores items up to the capacity of a run-time format.
struct bounded_sink {
  runtime_format& format;
  bool push(const format_item& item) {
    if (format.size == format.items.size()) return false;
    format.items[format.size++] = item;
    format.has_field = format.has_field || item.is_field();
    return true;
  }
};

}  // namespace

runtime_format parse_format(std::string_view text) {
  runtime_format format;
  format.text = text;
  bounded_sink sink{format};
  format.problem = detail::parse_format_items(text, sink);
  return format;
}

}  // namespace records
