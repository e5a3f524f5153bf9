#include "runtime/core/error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace cinevo {
namespace {

TEST(ErrorTest, PostedCodeIsCurrentAndZeroMeansTheSystemError) {
  PostError(2);
  EXPECT_EQ(ErrorCode(), 2);
  EXPECT_EQ(ErrorMessage(), "File Not Found");
  errno = ENOENT;
  PostError(0);
  EXPECT_EQ(ErrorCode(), 302);
  errno = 0;
  PostError(0);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST(ErrorTest, FatalReportGoesToTheHandlerWithCodeTextAndDetail) {
  int seen_code = 0;
  std::string seen;
  SetFatalHandler([&](int code, const std::string& message) {
    seen_code = code;
    seen = message;
  });
  RuntimeFatal(802, "Mismatched POPSCOPE");
  SetFatalHandler({});
  EXPECT_EQ(seen_code, 802);
  EXPECT_EQ(seen, "Mismatched PUSHSCOPE/POPSCOPE : Mismatched POPSCOPE");
}

TEST(ErrorDeathTest, FatalReportWithoutHandlerEndsTheProgram) {
  EXPECT_EXIT(RuntimeFatal(501, "String Stack Error"), testing::ExitedWithCode(3),
              "Runtime error: Internal error 01 : String Stack Error");
}

}  // namespace
}  // namespace cinevo
