// What the fuzz targets share: a check that stops the run, so that libFuzzer keeps the input
// that broke a property of a parser (a round trip that changes the data, a capacity
// overstepped), not only the inputs that crash it.
#ifndef HELMSMAN_TOOLS_FUZZ_FUZZ_CHECK_H_
#define HELMSMAN_TOOLS_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

#endif  // HELMSMAN_TOOLS_FUZZ_FUZZ_CHECK_H_
