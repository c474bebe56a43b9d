#pragma once

namespace extract {

// The whole conversion in the working directory: "hdat.out" in, "fort.50" out.
// Returns after a normal end, every unit closed; a failure unwinds as
// records::fatal_error, every unit likewise closed.
void run_extraction();

}  // namespace extract
