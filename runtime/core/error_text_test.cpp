#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "runtime/core/os_error.h"

#include <cerrno>

namespace cinevo {
namespace {

TEST(ErrorTextTest, EveryRangeHasItsTexts) {
  EXPECT_EQ(ErrorText(2), "File Not Found");
  EXPECT_EQ(ErrorText(78), "Invalid Number Of Parameters ");  // the blank is part of it
  EXPECT_EQ(ErrorText(93), "BUILD Cancelled");
  EXPECT_EQ(ErrorText(301), "Invalid Function");
  EXPECT_EQ(ErrorText(350), "Not Supported ");
  EXPECT_EQ(ErrorText(391), "Unknown Error");
  EXPECT_EQ(ErrorText(403), "Termination caused by signal.  (User break or Floating point)");
  EXPECT_EQ(ErrorText(501), "Internal error 01");
  EXPECT_EQ(ErrorText(515), "Internal error 15");
  EXPECT_EQ(ErrorText(526), "Unable to open APPLICATION (APPLICATION already active)");
  EXPECT_EQ(ErrorText(544), "Too Many VBX Hooks");
  EXPECT_EQ(ErrorText(605), "DDE transaction timed out");
  EXPECT_EQ(ErrorText(802), "Mismatched PUSHSCOPE/POPSCOPE");
}

TEST(ErrorTextTest, GapsAndOutOfRangeCodesHaveNoText) {
  for (int code : {-1, 0, 1, 6, 9, 94, 300, 314, 340, 373, 389, 392, 400, 411, 500, 516, 519, 545,
                   600, 606, 799, 803, 100000}) {
    EXPECT_TRUE(ErrorText(code).empty()) << code;
  }
}

TEST(ErrorTextTest, EveryMappedSystemErrorHasAText) {
  for (int err = 1; err < 134; ++err) {
    int system = SystemErrorFromErrno(err);
    EXPECT_FALSE(ErrorText(system + 300).empty()) << "errno " << err;
  }
  EXPECT_EQ(SystemErrorFromErrno(0), 0);
}

}  // namespace
}  // namespace cinevo
