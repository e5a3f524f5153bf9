// The entry point of every test program. Before the tests run it gives them an environment of
// their own, unless the caller already chose one:
//   QT_QPA_PLATFORM=offscreen   windows are made without a display;
//   CINEVO_PROFILE              a profile file inside the build tree, never the user's own;
//   CINEVO_TESTDATA_DIR         the folder of foreign data files (see test_data_dir.h).
// The two paths are compiled into this file only, so that the test files themselves do not
// depend on where the checkout lies.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("CINEVO_PROFILE", CINEVO_TEST_PROFILE, 0);
  setenv("CINEVO_TESTDATA_DIR", CINEVO_TESTDATA_DIR, 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
