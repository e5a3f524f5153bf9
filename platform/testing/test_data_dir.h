// Where the tests find the foreign data files (data files written by another implementation of
// the format), from the environment variable CINEVO_TESTDATA_DIR that the shared test entry point
// sets (test_main.cpp). It is read at run time rather than compiled into each test, so that test
// objects do not depend on the checkout's location. Without the variable the tests that need the
// data skip, saying why: the result is then a path that names the missing variable.
#pragma once

#include <cstdlib>
#include <filesystem>

namespace cinevo {

inline std::filesystem::path TestDataDir() {
  const char* dir = std::getenv("CINEVO_TESTDATA_DIR");
  if (dir == nullptr || *dir == '\0') return std::filesystem::path("/CINEVO_TESTDATA_DIR-is-not-set");
  return std::filesystem::path(dir);
}

}  // namespace cinevo
