#include "app/data_startup.h"

#include <string>

#include "runtime/core/error.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/deferred_call.h"

namespace cinevo::app {
namespace {

// Where failures of deferred builds are reported; set once at start-up.
std::FILE*& Console() {
  static std::FILE* console = stderr;
  return console;
}

void Answer(FileControlBlock* fcb) {
  // -1: the block was destroyed or its build already ran, and it is not touched. Otherwise the
  // block still exists after the answer.
  int e = AnswerBuildMessage(fcb);
  if (e > 0 && Console() != nullptr) {
    std::fprintf(Console(), "BUILD of %s failed: error %d %s\n", std::string(fcb->declaration->ExternalName()).c_str(),
                 e, std::string(ErrorText(e)).c_str());
    std::fflush(Console());
  }
}

}  // namespace

void AnswerBuildMessageLater(uint32_t message, FileControlBlock& fcb) {
  if (message != kBuildMessage) return;
  FileControlBlock* block = &fcb;
  CallFromEventLoop([block] { Answer(block); });
}

void StartDataRuntime(std::FILE* console) {
  Console() = console;
  isam::RegisterIsamDriver();
  SetBuildMessageHook(&AnswerBuildMessageLater);
}

void StopDataRuntime() { SetBuildMessageHook(nullptr); }

}  // namespace cinevo::app
