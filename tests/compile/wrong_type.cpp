// An item of a type no field takes must not compile, even where the format
// would skip the columns it might read: a double, not a float, for F6.2.
#include <array>

#include "records/statement.hpp"

void read_value(records::unit_table& units, std::array<char, 4>& label) {
#ifdef EIGPICK_WELL_FORMED
  float value = 0;
#else
  double value = 0;
#endif
  records::read<"(A4,5X,F6.2)">(units, {4, "eigpick", 25}, label, value);
}

int main() {}
