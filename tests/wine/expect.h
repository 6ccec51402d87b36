// EXPECT for the Windows check programs, which have no test framework: a failed expectation
// is counted and printed with its place, its condition and, when given, a detail to explain
// it; the program's exit status comes from Failures().
#ifndef HELMSMAN_TESTS_WINE_EXPECT_H_
#define HELMSMAN_TESTS_WINE_EXPECT_H_

#include <cstdio>
#include <string>

namespace helmsman::wine_check {

inline int& Failures() {
  static int failures = 0;
  return failures;
}

inline void Failed(const char* file, int line, const char* condition,
                   const std::string& detail = "") {
  ++Failures();
  std::printf("%s:%d: expected %s%s%s%s\n", file, line, condition, detail.empty() ? "" : " (",
              detail.c_str(), detail.empty() ? "" : ")");
}

}  // namespace helmsman::wine_check

#define EXPECT(condition, ...)                                                                   \
  do {                                                                                           \
    if (!(condition))                                                                            \
      ::helmsman::wine_check::Failed(__FILE__, __LINE__, #condition __VA_OPT__(, ) __VA_ARGS__); \
  } while (0)

#endif  // HELMSMAN_TESTS_WINE_EXPECT_H_
