// A format with a fault in it must not compile; the same file with the fault
// mended (EIGPICK_WELL_FORMED) must, so that a failure means the format.
#include "records/statement.hpp"

#ifdef EIGPICK_WELL_FORMED
constexpr records::format_text row_format = "(2A4,I3,32X,4F8.5)";
#else
constexpr records::format_text row_format = "(2A4,I3,32X 4F8.5)";  // no comma
#endif

int main() {
  return static_cast<int>(records::format<row_format>.view().size);
}
