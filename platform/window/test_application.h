// The QApplication of a GoogleTest program (header for tests only).
//
// It is made before the first test and destroyed after the last one, while Qt's own globals
// are still alive (a function-static application would be destroyed after them at exit).
#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace cinevo::platform {

class QtTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "cinevo_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

// Include once per test program, in one translation unit.
inline ::testing::Environment* const kQtTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);  // owned by GoogleTest

}  // namespace cinevo::platform
