// A write that leaves a field of its format without an item must not compile:
// the header would lack its eigenvalue. With the item given it compiles.
#include "records/statement.hpp"

void write_header(records::unit_table& units) {
#ifdef EIGPICK_WELL_FORMED
  records::write<"(//,'    E (',I3,' ) = ',F10.5)">(units, {7, "eigpick", 52}, 5, -0.4321f);
#else
  records::write<"(//,'    E (',I3,' ) = ',F10.5)">(units, {7, "eigpick", 52}, 5);
#endif
}

int main() {}
