#include <cstdio>
#include <exception>
#include <string>

#include "extract/run.hpp"
#include "records/fatal_error.hpp"

namespace {

void report(const std::string& line) {
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace

// Arguments and environment are ignored: the run's files, units and formats are fixed.
int main() {
  try {
    extract::run_extraction();
    return 0;
  } catch (const records::fatal_error& error) {
    report(records::fatal_report(error));
  } catch (const std::exception& error) {
    report(std::string("eigpick: ") + error.what());
  }
  return 1;
}
