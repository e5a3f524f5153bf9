#include "tools/tvx/tvx_eval.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/eval_symbols.h"

namespace cinevo::tvx {
namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result Eval(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  char* out_buf = nullptr;
  char* err_buf = nullptr;
  size_t out_len = 0, err_len = 0;
  std::FILE* out = open_memstream(&out_buf, &out_len);
  std::FILE* err = open_memstream(&err_buf, &err_len);
  int status = RunEval(static_cast<int>(argv.size()), argv.data(), out, err);
  std::fclose(out);
  std::fclose(err);
  Result r{status, std::string(out_buf, out_len), std::string(err_buf, err_len)};
  std::free(out_buf);
  std::free(err_buf);
  return r;
}

TEST(TvxEvalTest, PrintsTheValueOnOneLine) {
  EXPECT_EQ(Eval({"2+3*4^2"}).out, "50\n");
  EXPECT_EQ(Eval({"7/2"}).out, "3.5\n");
  Result r = Eval({"'  ab' & 'c  '"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "  abc  \n");  // no quotes, no added padding
  EXPECT_EQ(Eval({"--3"}).out, "3\n");  // an expression, not an option
}

TEST(TvxEvalTest, BindsValuesWithTheTypeTheySuggest) {
  Result r = Eval({"UPPER(A) = 'ABC' AND LEN(CLIP(B)) > 3 AND N % 7 = 3", "--bind", "A=abc",
                  "--bind", "B=hello   ", "--bind=N=10"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(Eval({"N / 2", "--bind", "N=5"}).out, "2.5\n");
  EXPECT_EQ(Eval({"X * 2", "--bind", "X=1.25"}).out, "2.5\n");
  EXPECT_EQ(Eval({"X & 'x'", "--bind", "X='5'"}).out, "5x\n");
  EXPECT_EQ(Eval({"LEN(S)", "--bind", "S=a b "}).out, "4\n");
  EXPECT_EQ(Eval({"PRE:F#", "--bind", "pre:f#=9"}).out, "9\n");
  // Bindings of one run do not leak into the next.
  EXPECT_EQ(Eval({"N"}).status, 2);
  EXPECT_EQ(ScopeDepth(), 0);
}

TEST(TvxEvalTest, InvalidTextsReportTheRuntimeErrorAndExitWithTwo) {
  Result r = Eval({"1 +"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("800"), std::string::npos);
  EXPECT_NE(r.err.find("Invalid expression for EVALUATE"), std::string::npos);
  r = Eval({"NOBODY = 1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("801"), std::string::npos);
  EXPECT_NE(r.err.find("No BIND on variable"), std::string::npos);
}

TEST(TvxEvalTest, WrongArgumentsAreUsageErrors) {
  EXPECT_EQ(Eval({}).status, 2);
  EXPECT_EQ(Eval({"1", "2"}).status, 2);
  EXPECT_EQ(Eval({"1", "--bind"}).status, 2);
  EXPECT_EQ(Eval({"1", "--bind", "=5"}).status, 2);
  EXPECT_EQ(Eval({"1", "--bind", "N"}).status, 2);
  EXPECT_EQ(Eval({"1", "--frobnicate"}).status, 2);
  EXPECT_EQ(ScopeDepth(), 0);
}

}  // namespace
}  // namespace cinevo::tvx
