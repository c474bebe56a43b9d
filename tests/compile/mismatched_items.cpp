// Items whose kinds do not match the fields of the format must not compile; the
// same statement with the items in order (EIGPICK_WELL_FORMED) must.
#include <array>
#include <cstdint>

#include "records/statement.hpp"

void read_row(records::unit_table& units, std::array<char, 4>& label, std::int32_t& index,
              float& coefficient) {
#ifdef EIGPICK_WELL_FORMED
  records::read<"(A4,I3,F8.5)">(units, {4, "eigpick", 25}, label, index, coefficient);
#else
  records::read<"(A4,I3,F8.5)">(units, {4, "eigpick", 25}, label, coefficient, index);
#endif
}

int main() {}
