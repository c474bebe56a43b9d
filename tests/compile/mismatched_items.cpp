// Items that cannot move through the fields of the format must not compile:
// items in the wrong order, or (EIGPICK_LIST_IN_A_READ) a span of any length,
// which only a write takes. The same statement with its items in order
// (EIGPICK_WELL_FORMED) must compile.
#include <array>
#include <cstdint>
#include <span>

#include "records/statement.hpp"

void read_row(records::unit_table& units, std::array<char, 4>& label, std::int32_t& index,
              float& coefficient) {
#if defined(EIGPICK_WELL_FORMED)
  records::read<"(A4,I3,F8.5)">(units, {4, "eigpick", 25}, label, index, coefficient);
#elif defined(EIGPICK_LIST_IN_A_READ)
  records::read<"(A4,I3,F8.5)">(units, {4, "eigpick", 25}, label, index,
                                std::span<float>(&coefficient, 1));
#else
  records::read<"(A4,I3,F8.5)">(units, {4, "eigpick", 25}, label, coefficient, index);
#endif
}

int main() {}
