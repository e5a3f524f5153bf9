// Each statement reaches the driver as the right operation with its arguments in place.
#include "runtime/data/file_statements.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/file_errors.h"
#include "runtime/data/recording_test_driver.h"

namespace cinevo {
namespace {

using testing::RecordingDriver;

class FileStatementsTest : public ::testing::Test {
 protected:
  static FileDeclaration Declaration() {
    FileDeclaration d;
    d.label = "GRUPA";
    d.driver = "RECTEST";
    d.fields = {MakeField("GRU:SIFRA", TypeCode::kLong, 0, 4),
                MakeField("GRU:NAZIV", TypeCode::kString, 4, 20)};
    d.keys = {MakeKey("GRU:PK", kKeyPrimary, {1}), MakeKey("GRU:NK", kKeyDup, {2})};
    MemoDeclaration blob;
    blob.label = "GRU:SLIKA";
    blob.flags = kMemoBlob;
    d.memos = {blob};
    return d;
  }
  void SetUp() override {
    Rec().Reset();
    ASSERT_EQ(Open(fcb, 0x12), 0);  // exclusive read/write: every pre-check can pass
    ASSERT_EQ(Set(fcb), 0);
    ASSERT_EQ(Next(fcb), 0);
    Rec().calls.clear();
    Rec().args.clear();
  }
  void TearDown() override { Rec().Reset(); }
  static RecordingDriver& Rec() { return RecordingDriver::Get(); }

  // Runs `statement` and returns the one operation that reached the driver with its arguments.
  std::pair<DriverOp, DriverArgs> Reached(const std::function<void()>& statement) {
    Rec().calls.clear();
    Rec().args.clear();
    statement();
    EXPECT_EQ(Rec().calls.size(), 1u);
    if (Rec().calls.empty()) return {DriverOp::kNone, DriverArgs{}};
    return {Rec().calls.back(), Rec().args.back()};
  }

  bool registered = RegisterDriver(testing::RecordingRegistration());
  FileDeclaration decl = Declaration();
  FileControlBlock fcb{decl};
};

TEST_F(FileStatementsTest, StatementsMapToOperations) {
  struct Case {
    const char* what;
    std::function<void(FileControlBlock&)> run;
    DriverOp op;
  };
  const std::vector<Case> cases = {
      {"ADD", [](auto& f) { Add(f); }, DriverOp::kAdd},
      {"ADD len", [](auto& f) { Add(f, 10u); }, DriverOp::kAddFileLen},
      {"APPEND", [](auto& f) { Append(f); }, DriverOp::kAppend},
      {"APPEND len", [](auto& f) { Append(f, 10u); }, DriverOp::kAppendLen},
      {"PUT", [](auto& f) { Put(f); }, DriverOp::kPut},
      {"PUT ptr", [](auto& f) { Put(f, int64_t{3}); }, DriverOp::kPutFilePtr},
      {"PUT ptr len", [](auto& f) { Put(f, int64_t{3}, 8u); }, DriverOp::kPutFilePtrLen},
      {"GET key", [](auto& f) { Get(f, 0); }, DriverOp::kGetFileKey},
      {"GET ptr", [](auto& f) { GetByPointer(f, 4); }, DriverOp::kGetFilePtr},
      {"GET ptr len", [](auto& f) { GetByPointer(f, 4, 8u); }, DriverOp::kGetFilePtrLen},
      {"GET key ptr", [](auto& f) { GetByKeyPointer(f, 1, 4); }, DriverOp::kGetKeyPtr},
      {"REGET", [](auto& f) { Reget(f, "p"); }, DriverOp::kRegetFile},
      {"REGET key", [](auto& f) { RegetKey(f, 0, "p"); }, DriverOp::kRegetKey},
      {"SET", [](auto& f) { Set(f); }, DriverOp::kSetFile},
      {"SET file key", [](auto& f) { SetFromKey(f, 0); }, DriverOp::kSetFileKey},
      {"SET ptr", [](auto& f) { SetFromPointer(f, 2); }, DriverOp::kSetFilePtr},
      {"SET key", [](auto& f) { SetKey(f, 1); }, DriverOp::kSetKey},
      {"SET key key", [](auto& f) { SetKeyFromKey(f, 1, 1); }, DriverOp::kSetKeyKey},
      {"SET key ptr", [](auto& f) { SetKeyFromPointer(f, 1, 9); }, DriverOp::kSetKeyPtr},
      {"SET key key ptr", [](auto& f) { SetKeyFromKeyPointer(f, 1, 0, 9); },
       DriverOp::kSetKeyKeyPtr},
      {"RESET", [](auto& f) { Reset(f, "p"); }, DriverOp::kResetFile},
      {"RESET key", [](auto& f) { ResetKey(f, 1, "p"); }, DriverOp::kResetKey},
      {"NEXT", [](auto& f) { Next(f); }, DriverOp::kNext},
      {"PREVIOUS", [](auto& f) { Previous(f); }, DriverOp::kPrevious},
      {"SKIP", [](auto& f) { Skip(f, 5); }, DriverOp::kSkip},
      {"POSITION", [](auto& f) { Position(f); }, DriverOp::kPositionFile},
      {"POSITION key", [](auto& f) { PositionKey(f, 0); }, DriverOp::kPositionKey},
      {"POINTER", [](auto& f) { Pointer(f); }, DriverOp::kPointerFile},
      {"POINTER key", [](auto& f) { PointerKey(f, 0); }, DriverOp::kPointerKey},
      {"BOF", [](auto& f) { Bof(f); }, DriverOp::kBof},
      {"EOF", [](auto& f) { Eof(f); }, DriverOp::kEof},
      {"RECORDS", [](auto& f) { Records(f); }, DriverOp::kRecordsFile},
      {"RECORDS key", [](auto& f) { RecordsKey(f, 1); }, DriverOp::kRecordsKey},
      {"BYTES", [](auto& f) { Bytes(f); }, DriverOp::kBytes},
      {"HOLD", [](auto& f) { Hold(f); }, DriverOp::kHoldFile},
      {"HOLD sec", [](auto& f) { Hold(f, 2); }, DriverOp::kHoldFileSec},
      {"WATCH", [](auto& f) { Watch(f); }, DriverOp::kWatch},
      {"RELEASE", [](auto& f) { Release(f); }, DriverOp::kRelease},
      {"LOCK sec", [](auto& f) { Lock(f, 2); }, DriverOp::kLockFileSec},
      {"UNLOCK", [](auto& f) { Unlock(f); }, DriverOp::kUnlock},
      {"LOCK", [](auto& f) { Lock(f); }, DriverOp::kLockFile},
      {"STREAM", [](auto& f) { Stream(f); }, DriverOp::kStream},
      {"FLUSH", [](auto& f) { Flush(f); }, DriverOp::kFlush},
      {"BUILD", [](auto& f) { Build(f); }, DriverOp::kBuildFile},
      {"BUILD key", [](auto& f) { BuildKey(f, 0); }, DriverOp::kBuildKey},
      {"BUILD dyn", [](auto& f) { BuildIndex(f, 1, "+GRU:NAZIV"); }, DriverOp::kBuildDyn},
      {"BUILD dyn filter", [](auto& f) { BuildIndex(f, 1, "+GRU:NAZIV", "1"); },
       DriverOp::kBuildDynFilter},
      {"PACK", [](auto& f) { Pack(f); }, DriverOp::kPack},
      {"EMPTY", [](auto& f) { Empty(f); }, DriverOp::kEmpty},
      {"DUPLICATE", [](auto& f) { Duplicate(f); }, DriverOp::kDuplicate},
      {"DUPLICATE key", [](auto& f) { DuplicateKey(f, 0); }, DriverOp::kDuplicateKey},
      {"CLEAR", [](auto& f) { Clear(f); }, DriverOp::kClear},
      {"NOMEMO", [](auto& f) { NoMemo(f); }, DriverOp::kNoMemo},
      {"NAME", [](auto& f) { Name(f); }, DriverOp::kName},
      {"SEND", [](auto& f) { Send(f, "FLAGS"); }, DriverOp::kSend},
      {"PROP get", [](auto& f) { GetProperty(f, 0x7000); }, DriverOp::kGetProperty},
      {"PROP set", [](auto& f) { SetProperty(f, 0x7000, "1"); }, DriverOp::kSetProperty},
      {"PROP key get", [](auto& f) { GetKeyProperty(f, 0, 0x7000); }, DriverOp::kGetPropertyKey},
      {"PROP key set", [](auto& f) { SetKeyProperty(f, 0, 0x7000, "1"); },
       DriverOp::kSetPropertyKey},
      {"PROP do", [](auto& f) { DoProperty(f, 0x7000, ""); }, DriverOp::kDoProperty},
      {"PROP key do", [](auto& f) { DoKeyProperty(f, 0, 0x7000, ""); }, DriverOp::kDoPropertyKey},
      {"PROP blob do", [](auto& f) { DoBlobProperty(f, 1, 0x7000, ""); },
       DriverOp::kDoPropertyBlob},
      {"BLOB size", [](auto& f) { BlobSize(f, 1); }, DriverOp::kBlobSize},
      {"BLOB get prop", [](auto& f) { BlobGetProperty(f, 1, 1); }, DriverOp::kBlobGetProp},
      {"BLOB set prop", [](auto& f) { BlobSetProperty(f, 1, 1, "x"); }, DriverOp::kBlobSetProp},
      {"DELETE", [](auto& f) { Delete(f); }, DriverOp::kDelete},
      {"CLOSE", [](auto& f) { Close(f); }, DriverOp::kClose},
      {"CREATE", [](auto& f) { Create(f); }, DriverOp::kCreate},
      {"COPY", [](auto& f) { Copy(f, "B.TVX"); }, DriverOp::kCopy},
      {"RENAME", [](auto& f) { Rename(f, "B.TVX"); }, DriverOp::kRename},
      {"REMOVE", [](auto& f) { Remove(f); }, DriverOp::kRemove},
      {"SHARE", [](auto& f) { Share(f); }, DriverOp::kShare},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Every statement gets a file in which its pre-check passes.
    fcb.state |= kStateRecordCurrent | kStateSequenceSet;
    auto [op, args] = Reached([&] { c.run(fcb); });
    EXPECT_EQ(op, c.op) << DriverOpName(op);
  }
}

TEST_F(FileStatementsTest, ArgumentsReachTheDriver) {
  auto [op1, a1] = Reached([&] { SetKeyFromKeyPointer(fcb, 1, 0, 77); });
  EXPECT_EQ(a1.key, 1);
  EXPECT_EQ(a1.key2, 0);
  EXPECT_EQ(a1.pointer, 77);
  auto [op2, a2] = Reached([&] { Put(fcb, int64_t{5}, 12u); });
  EXPECT_EQ(a2.pointer, 5);
  EXPECT_EQ(a2.length, 12u);
  auto [op3, a3] = Reached([&] { Lock(fcb, 9); });
  EXPECT_EQ(a3.seconds, 9);
  auto [op4, a4] = Reached([&] { Skip(fcb, -3); });
  EXPECT_EQ(a4.count, -3);
  auto [op5, a5] = Reached([&] { SetKeyProperty(fcb, 1, 0x7301, "1", 4); });
  EXPECT_EQ(a5.property, 0x7301u);
  EXPECT_EQ(a5.index, 4);
  EXPECT_EQ(a5.key, 1);
  uint8_t dest[6] = {};
  Rec().numbers[DriverOp::kBlobYield] = 6;
  int64_t read = -1;
  auto [op6, a6] = Reached([&] { read = BlobRead(fcb, 1, dest, 100); });
  EXPECT_EQ(op6, DriverOp::kBlobYield);
  EXPECT_EQ(read, 6);
  EXPECT_EQ(a6.blob, 1);
  EXPECT_EQ(a6.buffer.data(), dest);
  EXPECT_EQ(a6.buffer.size(), 6u);
  EXPECT_EQ(a6.offset, 100);
  const uint8_t data[3] = {1, 2, 3};
  auto [op7, a7] = Reached([&] { BlobWrite(fcb, 1, data, 0); });
  EXPECT_EQ(op7, DriverOp::kBlobTake);
  EXPECT_EQ(a7.data.data(), data);
  EXPECT_EQ(a7.length, 3u);
}

TEST_F(FileStatementsTest, ResultsComeBack) {
  Rec().numbers[DriverOp::kRecordsKey] = 42;
  EXPECT_EQ(RecordsKey(fcb, 1), 42);
  Rec().numbers[DriverOp::kEof] = 1;
  EXPECT_TRUE(Eof(fcb));
  Rec().numbers[DriverOp::kDuplicateKey] = 1;
  EXPECT_TRUE(DuplicateKey(fcb, 0));
  Rec().texts[DriverOp::kPositionKey] = std::string("\0\1", 2);
  EXPECT_EQ(PositionKey(fcb, 0), std::string("\0\1", 2));
  Rec().texts[DriverOp::kSend] = "OFF";
  EXPECT_EQ(Send(fcb, "FULLBUILD"), "OFF");
  // A failing query returns the neutral value.
  Rec().numbers[DriverOp::kPointerFile] = 17;
  Rec().results[DriverOp::kPointerFile] = 33;
  EXPECT_EQ(Pointer(fcb), 0);
  EXPECT_EQ(ErrorCode(), 33);
}

}  // namespace
}  // namespace cinevo
