// A list that is not fixed needs a format whose every field takes its kind of
// item: integers to "(12F10.5)" must not compile, reals must.
#include <cstddef>
#include <cstdint>

#include "records/statement.hpp"

void write_column(records::unit_table& units) {
  auto statement = records::st_write<"(12F10.5)">(units, {7, "eigpick", 53});
#ifdef EIGPICK_WELL_FORMED
  statement.transfer_real_write(0.5f);
#else
  statement.transfer_integer_write(1);
#endif
  statement.st_write_done();
}

int main() {}
