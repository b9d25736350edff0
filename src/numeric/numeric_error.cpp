#include "numeric/numeric_error.h"

#include <cstdio>
#include <cstdlib>

void numeric_error(const char* text) {
  std::fputs("Numerical Recipes run-time error...\n", stderr);
  std::fprintf(stderr, "%s\n", text);
  std::fputs("...now exiting to system...\n", stderr);
  std::exit(1);
}
