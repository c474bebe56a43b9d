// A statement whose format has a fault in it must not compile; the same file
// with the fault mended (EIGPICK_WELL_FORMED) must, so that a failure means the
// format.
#include <array>

#include "records/statement.hpp"

void read_label(records::unit_table& units, std::array<char, 4>& label) {
#ifdef EIGPICK_WELL_FORMED
  records::read<"(16X,A4)">(units, {4, "eigpick", 12}, label);
#else
  records::read<"(16X A4)">(units, {4, "eigpick", 12}, label);  // no comma
#endif
}

int main() {}
