#include "records/unit_table.hpp"

#include <unistd.h>

#include <cerrno>

namespace records {

unit_entry* unit_table::find(std::int32_t number) {
  for (const auto& unit : units_) {
    if (unit->number == number) return unit.get();
  }
  return nullptr;
}

unit_entry& unit_table::connect(unit_entry entry) {
  auto fresh = std::make_unique<unit_entry>(std::move(entry));
  for (auto& unit : units_) {
    if (unit->number == fresh->number) {
      ::close(unit->fd);
      unit = std::move(fresh);
      return *unit;
    }
  }
  units_.push_back(std::move(fresh));
  return *units_.back();
}

std::optional<close_failure> unit_table::close_all() {
  std::optional<close_failure> failure;
  for (const auto& unit : units_) {
    if (::close(unit->fd) != 0 && !failure) {
      failure = close_failure{unit->number, unit->file_name, unit->source, errno};
    }
  }
  units_.clear();
  return failure;
}

namespace {
// Constant-initialised, so reaching it costs no guard.
unit_table table;
}  // namespace

unit_table& connected_units() {
  return table;
}

}  // namespace records
