#pragma once

#include <cstdint>
#include <string_view>

#include "records/statement.hpp"

namespace extract {

inline constexpr std::int32_t listing_unit = 4;  // "hdat.out", only read
inline constexpr std::int32_t vector_unit = 7;   // "fort.50", only written
inline constexpr std::string_view source_name = "eigpick";

inline records::statement_params listing_statement(std::int32_t line, std::string_view format) {
  return {listing_unit, source_name, line, format};
}

inline records::statement_params vector_statement(std::int32_t line, std::string_view format) {
  return {vector_unit, source_name, line, format};
}

}  // namespace extract
