// Random operation sequences against the recording driver: whatever the codes, outcomes and
// arguments, the dispatch keeps the state word sound and never frees the working state of an
// open file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/data/dispatch.h"
#include "runtime/data/recording_test_driver.h"

namespace {

cinevo::FileDeclaration MakeDeclaration() {
  using namespace cinevo;
  FileDeclaration d;
  d.label = "FUZZ";
  d.fields = {MakeField("F:A", TypeCode::kLong, 0, 4), MakeField("F:B", TypeCode::kString, 4, 8)};
  d.keys = {MakeKey("F:K", kKeyPrimary, {1}), MakeKey("F:I", kKeyIndex, {-2})};
  return d;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cinevo;
  static const FileDeclaration decl = MakeDeclaration();
  auto& rec = testing::RecordingDriver::Get();
  rec.Reset();
  std::vector<FileControlBlock*> posted;
  SetBuildMessageHook([&](uint32_t, FileControlBlock& f) { posted.push_back(&f); });
  {
    FileControlBlock fcb(decl, &testing::RecordingRegistration());
    static constexpr int kOutcomes[8] = {0, 0, 0, 33, 37, 90, -1, 43};
    for (size_t i = 0; i + 3 <= size; i += 3) {
      const int code = data[i];
      const uint8_t b = data[i + 1];
      const uint8_t c = data[i + 2];
      rec.results.clear();
      rec.results[static_cast<DriverOp>(code)] = kOutcomes[b & 7];
      if (b & 0x80) fcb.state |= kStateBuildByEvents;
      DriverArgs a;
      a.key = static_cast<int>(c & 3) - 1;
      a.text = (c & 4) ? std::string_view("  ") : std::string_view("\0k", 2);
      a.mode = (c & 8) ? 0x12 : 0x42;
      if ((c & 0x30) == 0x30 && !posted.empty()) {
        AnswerBuildMessage(posted.back());
        posted.pop_back();
      } else {
        DispatchCode(code, fcb, a);
      }
      Check((fcb.state & (kStateIndexBuilt | kStateBuildInProgress)) == 0);
      Check(fcb.last_error >= 0);
      Check(rec.states_live <= 1);
      if (fcb.IsOpen()) {
        Check(fcb.work != nullptr);
      } else {
        Check((fcb.state & ~static_cast<uint32_t>(kStateBuildByEvents)) == 0);
      }
    }
  }
  for (FileControlBlock* f : posted) Check(AnswerBuildMessage(f) == -1);  // all destroyed
  SetBuildMessageHook({});
  Check(rec.states_live == 0);
  return 0;
}
