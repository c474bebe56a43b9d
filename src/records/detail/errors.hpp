#pragma once

#include <cstdint>
#include <string_view>

#include "records/detail/format_parser.hpp"
#include "records/fatal_error.hpp"

namespace records::detail {

struct unit;

// An error of a statement, naming its source, line and unit and, when the unit is
// connected, its file.
fatal_error statement_error(std::string_view source, std::int32_t statement_line,
                            std::int32_t unit_number, const unit* connected,
                            condition what_happened);

// Why an item cannot be transferred: it met a field of another kind (`met`), or
// the format has no field at all (nullptr).
reason_text mismatch_detail(item_kind wanted, const format_item* met);

// The system's words for an errno value.
std::string_view system_reason(int error_number);

}  // namespace records::detail
