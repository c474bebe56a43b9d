#include "records/unit_table.hpp"

#include <unistd.h>

#include <cerrno>

namespace records {

bool path_name::assign(std::string_view name) {
  if (name.size() >= bytes_.size()) return false;
  name.copy(bytes_.data(), name.size());
  bytes_[name.size()] = '\0';
  size_ = name.size();
  return true;
}

unit_entry* unit_table::find(std::int32_t number) {
  for (std::size_t i = 0; i < max_units; ++i) {
    if (in_use_[i] && units_[i].number == number) return &units_[i];
  }
  return nullptr;
}

unit_entry* unit_table::prepare(std::int32_t number) {
  std::size_t slot = max_units;
  for (std::size_t i = 0; i < max_units; ++i) {
    if (in_use_[i] && units_[i].number == number) {
      if (units_[i].fd >= 0) ::close(units_[i].fd);
      in_use_[i] = false;
    }
    if (!in_use_[i] && slot == max_units) slot = i;
  }
  if (slot == max_units) return nullptr;
  unit_entry& unit = units_[slot];
  unit.number = number;
  unit.fd = -1;
  unit.read_write_errno = 0;
  unit.can_read = unit.can_write = unit.regular_file = true;
  unit.opens_on_first_use = false;
  unit.device = 0;
  unit.inode = 0;
  unit.column = 1;
  unit.record_length = 0;
  unit.output_size = 0;
  unit.complete_bytes = 0;
  unit.statement_bytes = 0;
  unit.written = false;
  unit.reader.reset(-1);
  in_use_[slot] = true;
  return &unit;
}

const unit_entry* unit_table::holding(const unit_entry& self, dev_t device, ino_t inode) const {
  for (std::size_t i = 0; i < max_units; ++i) {
    const unit_entry& unit = units_[i];
    if (in_use_[i] && &unit != &self && unit.device == device && unit.inode == inode) return &unit;
  }
  return nullptr;
}

std::optional<close_failure> unit_table::close_all() {
  std::optional<close_failure> failure;
  for (std::size_t i = 0; i < max_units; ++i) {
    if (!in_use_[i]) continue;
    unit_entry& unit = units_[i];
    in_use_[i] = false;
    if (unit.fd < 0) continue;
    if (::close(unit.fd) != 0 && !failure) {
      failure = close_failure{unit.number, unit.file_name.view(), unit.source, errno};
    }
    unit.fd = -1;
  }
  return failure;
}

namespace {
// Constant-initialised, so reaching it costs no guard, and its buffers are pages
// the system provides zeroed only when first touched.
constinit unit_table table;
}  // namespace

unit_table& connected_units() {
  return table;
}

}  // namespace records
