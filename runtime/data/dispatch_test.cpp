// The common dispatch against the recording driver: pre-checks, state-word updates, working
// state lifetime, error posting and the deferred BUILD.
#include "runtime/data/dispatch.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/data/file_errors.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/recording_test_driver.h"

namespace cinevo {
namespace {

using testing::RecordingDriver;

FileDeclaration MakeDeclaration() {
  FileDeclaration d;
  d.label = "GRUPA";
  d.driver = "rectest";
  d.prefix = "GRU";
  d.fields = {MakeField("GRU:SIFRA", TypeCode::kLong, 0, 4),
              MakeField("GRU:NAZIV", TypeCode::kString, 4, 30)};
  d.keys = {MakeKey("GRU:PK", kKeyPrimary, {1}),
            MakeKey("GRU:NAZIVKEY", kKeyDup | kKeyNoCase, {-2, 1}),
            MakeKey("GRU:IDX", kKeyIndex, {2})};
  return d;
}

constexpr int kPk = 0;
constexpr int kByName = 1;
constexpr int kIndex = 2;

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rec().Reset();
    RegisterDriver(testing::RecordingRegistration());
    SetBuildMessageHook({});
    ClearRuntimeError();
  }
  void TearDown() override {
    SetBuildMessageHook({});
    Rec().Reset();
  }
  static RecordingDriver& Rec() { return RecordingDriver::Get(); }

  // Opens the file and reads one record so that it has a current record in a sequence.
  void OpenAndRead(uint32_t mode = kOpenDefaultMode) {
    ASSERT_EQ(Open(fcb, mode), 0);
    ASSERT_EQ(Set(fcb), 0);
    ASSERT_EQ(Next(fcb), 0);
  }

  bool registered = RegisterDriver(testing::RecordingRegistration());  // before fcb binds
  FileDeclaration decl = MakeDeclaration();
  FileControlBlock fcb{decl};
};

// --- pre-checks -------------------------------------------------------------------------------

TEST_F(DispatchTest, OpenTwiceGives52AndStaysOpen) {
  ASSERT_EQ(Open(fcb), 0);
  EXPECT_EQ(Open(fcb), 52);
  EXPECT_EQ(Share(fcb), 52);
  EXPECT_TRUE(fcb.IsOpen());
  EXPECT_EQ(Rec().Count(DriverOp::kOpen), 1);
  EXPECT_EQ(Rec().Count(DriverOp::kShare), 0);
  EXPECT_EQ(ErrorCode(), 52);
  EXPECT_EQ(ErrorFile(), "GRUPA");
  EXPECT_EQ(Rec().states_live, 1);  // the open file keeps its working state
}

TEST_F(DispatchTest, CloseOfClosedFileGives37WithoutDriverAndFreesState) {
  EXPECT_EQ(Close(fcb), 37);
  EXPECT_TRUE(Rec().calls.empty());
  EXPECT_EQ(Rec().states_created, 1);  // created before the pre-check ...
  EXPECT_EQ(Rec().states_live, 0);     // ... and freed after it
  EXPECT_EQ(fcb.work, nullptr);
}

TEST_F(DispatchTest, PutAndDeleteNeedACurrentRecord) {
  ASSERT_EQ(Open(fcb), 0);
  EXPECT_EQ(Put(fcb), 33);
  EXPECT_EQ(Delete(fcb), 33);
  ASSERT_EQ(Set(fcb), 0);
  Rec().results[DriverOp::kNext] = 33;  // end of file
  EXPECT_EQ(Next(fcb), 33);
  EXPECT_EQ(Delete(fcb), 33);
  EXPECT_EQ(Next(fcb), 33);  // the failed NEXT ended the sequence too
  EXPECT_EQ(Rec().Count(DriverOp::kPut), 0);
  EXPECT_EQ(Rec().Count(DriverOp::kDelete), 0);
  EXPECT_EQ(Rec().Count(DriverOp::kNext), 1);
}

TEST_F(DispatchTest, WritesToReadOnlyFileGive5) {
  OpenAndRead(0x20);  // read only, deny write
  EXPECT_EQ(Put(fcb), 5);
  EXPECT_EQ(Add(fcb), 5);
  EXPECT_EQ(Delete(fcb), 5);
  EXPECT_EQ(Rec().Count(DriverOp::kPut) + Rec().Count(DriverOp::kAdd), 0);
  EXPECT_EQ(ErrorCode(), 5);
}

TEST_F(DispatchTest, PackAndBuildOfSharedFileNeedLock) {
  ASSERT_EQ(Share(fcb), 0);
  EXPECT_EQ(Pack(fcb), 63);
  EXPECT_EQ(Build(fcb), 63);
  EXPECT_EQ(BuildKey(fcb, kPk), 63);
  EXPECT_EQ(Rec().calls.size(), 1u);
  ASSERT_EQ(Lock(fcb), 0);
  EXPECT_EQ(Lock(fcb), 0);  // LOCK while locked: forbidden bit without an error
  EXPECT_EQ(Rec().Count(DriverOp::kLockFile), 1);
  EXPECT_EQ(Pack(fcb), 0);
  EXPECT_EQ(Build(fcb), 0);
  ASSERT_EQ(Unlock(fcb), 0);
  EXPECT_EQ(Pack(fcb), 63);  // the lock was the only reason for exclusive access
}

TEST_F(DispatchTest, ExclusiveOpenKeepsExclusiveAccessAfterUnlock) {
  ASSERT_EQ(Open(fcb, 0x12), 0);  // read/write, deny all
  EXPECT_EQ(Pack(fcb), 0);
  ASSERT_EQ(Lock(fcb), 0);
  ASSERT_EQ(Unlock(fcb), 0);
  EXPECT_EQ(Pack(fcb), 0);
}

TEST_F(DispatchTest, PackOfClosedFileReachesDriverAndLeavesNoState) {
  EXPECT_EQ(Pack(fcb), 0);
  EXPECT_EQ(Rec().Count(DriverOp::kPack), 1);
  EXPECT_EQ(Rec().states_live, 0);
}

TEST_F(DispatchTest, TransactionBits) {
  ASSERT_EQ(Open(fcb), 0);
  FileControlBlock* files[] = {&fcb};
  DriverArgs raw;
  EXPECT_EQ(DispatchRaw(DriverOp::kCommit, fcb, raw), -1);  // COMMIT without LOGOUT is skipped
  EXPECT_EQ(Commit(files), 0);
  EXPECT_EQ(Rollback(files), 0);
  EXPECT_EQ(Rec().Count(DriverOp::kCommit) + Rec().Count(DriverOp::kRollback), 0);
  EXPECT_EQ(fcb.last_error, 0);

  ASSERT_EQ(Logout(1, files), 0);
  EXPECT_TRUE(fcb.state & kStateLogoutActive);
  EXPECT_EQ(Logout(1, files), 56);
  EXPECT_EQ(Close(fcb), 56);  // no CLOSE inside a transaction; the file stays usable
  EXPECT_TRUE(fcb.IsOpen());
  EXPECT_NE(fcb.work, nullptr);
  EXPECT_EQ(Commit(files), 0);
  EXPECT_FALSE(fcb.state & kStateLogoutActive);
  EXPECT_EQ(Rec().Count(DriverOp::kLogout), 1);
  EXPECT_EQ(Rec().Count(DriverOp::kCommit), 1);
}

TEST_F(DispatchTest, SkippedOperationKeepsEarlierError) {
  ASSERT_EQ(Open(fcb), 0);
  EXPECT_EQ(Put(fcb), 33);
  DriverArgs a;
  EXPECT_EQ(DispatchRaw(DriverOp::kCommit, fcb, a), -1);
  EXPECT_EQ(fcb.last_error, 0);
  EXPECT_EQ(ErrorCode(), 33);  // -1 posts nothing
  ASSERT_EQ(Set(fcb), 0);      // a successful refreshing operation clears it
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(ErrorFile(), "");
}

TEST_F(DispatchTest, LogoutRefusedByOneFileRollsBackTheOthers) {
  FileDeclaration other_decl = MakeDeclaration();
  other_decl.label = "PODGRU";
  FileControlBlock other(other_decl);
  ASSERT_EQ(Open(fcb), 0);
  ASSERT_EQ(Open(other), 0);
  Rec().results[DriverOp::kLogout] = 0;
  Rec().during = [&](DriverOp op, FileControlBlock& f) {
    if (op == DriverOp::kLogout && &f == &other) Rec().results[DriverOp::kLogout] = 48;
  };
  FileControlBlock* files[] = {&fcb, &other};
  EXPECT_EQ(Logout(0, files), 48);
  EXPECT_EQ(ErrorCode(), 48);
  EXPECT_EQ(ErrorFile(), "PODGRU");
  EXPECT_FALSE(fcb.state & kStateLogoutActive);
  EXPECT_FALSE(other.state & kStateLogoutActive);
  EXPECT_EQ(Rec().Count(DriverOp::kRollback), 1);
}

TEST_F(DispatchTest, BlankPositionGives35WithoutDriver) {
  ASSERT_EQ(Open(fcb), 0);
  EXPECT_EQ(ResetKey(fcb, kPk, "    "), 35);
  EXPECT_EQ(ResetKey(fcb, kPk, ""), 35);
  EXPECT_EQ(Reset(fcb, " "), 35);
  EXPECT_EQ(Reget(fcb, ""), 35);
  EXPECT_EQ(RegetKey(fcb, kPk, "  "), 35);
  EXPECT_TRUE(Rec().calls.size() == 1);
  EXPECT_FALSE(fcb.state & kStateSequenceSet);
  EXPECT_EQ(ResetKey(fcb, kPk, std::string_view("\0\0\0\0", 4)), 0);  // binary key values
  EXPECT_EQ(Rec().Count(DriverOp::kResetKey), 1);
  EXPECT_EQ(ResetKey(fcb, kPk, "   "), 35);  // a failed RESET also ends the sequence
  EXPECT_FALSE(fcb.state & kStateSequenceSet);
}

TEST_F(DispatchTest, CodesOutsideTheTableGive80) {
  DriverArgs a;
  EXPECT_EQ(DispatchCode(94, fcb, a), 80);
  EXPECT_EQ(DispatchCode(0, fcb, a), 80);
  EXPECT_EQ(DispatchCode(-3, fcb, a), 80);
  EXPECT_EQ(DispatchCode(255, fcb, a), 80);
  EXPECT_EQ(ErrorCode(), 80);
  EXPECT_EQ(ErrorFile(), "GRUPA");
  EXPECT_TRUE(Rec().calls.empty());
  EXPECT_EQ(PreCheck(94, fcb, a), 80);
}

TEST_F(DispatchTest, KeyArgumentsAreChecked) {
  ASSERT_EQ(Open(fcb), 0);
  EXPECT_EQ(SetKey(fcb, 3), 77);
  EXPECT_EQ(SetKey(fcb, kNoKey), 77);
  EXPECT_EQ(GetKeyProperty(fcb, 17, 0x731A), "");
  EXPECT_EQ(Rec().calls.size(), 1u);
}

TEST_F(DispatchTest, IndexNeedsBuildBeforeKeyOperations) {
  ASSERT_EQ(Open(fcb), 0);
  EXPECT_EQ(SetKey(fcb, kIndex), 46);
  EXPECT_EQ(Get(fcb, kIndex), 46);
  EXPECT_EQ(SetKey(fcb, kPk), 0);  // ordinary keys need no build
  ASSERT_EQ(BuildIndex(fcb, kIndex, "+GRU:NAZIV"), 0);
  EXPECT_TRUE(fcb.keys[kIndex].built);
  EXPECT_EQ(SetKey(fcb, kIndex), 0);
  EXPECT_EQ(Rec().Count(DriverOp::kSetKey), 2);
  // A missing open bit wins over a missing build.
  FileControlBlock closed(decl);
  EXPECT_EQ(SetKey(closed, kIndex), 37);
}

TEST_F(DispatchTest, DuringBuildOnlyFewOperationsPass) {
  fcb.state = 0x7FFF;  // every bit a check could need; forbidden bits are checked after 92
  fcb.keys[kIndex].built = true;
  for (int code = 1; code <= kLastDriverOp; ++code) {
    DriverArgs a;
    a.key = kPk;
    a.text = "pos";
    auto op = static_cast<DriverOp>(code);
    bool exempt = op == DriverOp::kClose || op == DriverOp::kName ||
                  op == DriverOp::kGetProperty || op == DriverOp::kGetPropertyKey ||
                  op == DriverOp::kBuildEvent;
    int r = PreCheck(code, fcb, a);
    if (exempt) {
      EXPECT_NE(r, 92) << DriverOpName(code);
    } else {
      EXPECT_EQ(r, 92) << DriverOpName(code);
    }
  }
}

// --- state word after each family -------------------------------------------------------------

TEST_F(DispatchTest, OpenModesGiveAccessBits) {
  ASSERT_EQ(Open(fcb), 0);
  EXPECT_EQ(fcb.state, uint32_t{kStateOpen | kStateWriteAllowed});
  ASSERT_EQ(Close(fcb), 0);
  EXPECT_EQ(fcb.state, 0u);
  ASSERT_EQ(Open(fcb, 0x40), 0);  // read only, deny none
  EXPECT_EQ(fcb.state, uint32_t{kStateOpen});
  ASSERT_EQ(Close(fcb), 0);
  ASSERT_EQ(Open(fcb, 0x12), 0);
  EXPECT_EQ(fcb.state, uint32_t{kStateOpen | kStateWriteAllowed | kStateExclusive});
}

TEST_F(DispatchTest, SequenceFamily) {
  ASSERT_EQ(Open(fcb), 0);
  ASSERT_EQ(SetKey(fcb, kByName), 0);
  EXPECT_EQ(fcb.state & 0x2022, 0x2020u);
  EXPECT_EQ(fcb.last_positioning, DriverOp::kSetKey);
  EXPECT_EQ(fcb.last_position_key, kByName);
  ASSERT_EQ(Next(fcb), 0);
  EXPECT_EQ(fcb.state & 0x2022, 0x2022u);
  EXPECT_EQ(fcb.last_positioning, DriverOp::kNext);
  ASSERT_EQ(Skip(fcb, 2), 0);
  EXPECT_EQ(fcb.state & 0x2022, 0x2020u);  // SKIP leaves no current record
  ASSERT_EQ(Previous(fcb), 0);
  EXPECT_TRUE(Bof(fcb) == false);
  Rec().results[DriverOp::kPrevious] = 33;
  EXPECT_EQ(Previous(fcb), 33);
  EXPECT_EQ(fcb.state & 0x2022, 0u);
  EXPECT_EQ(fcb.last_positioning, DriverOp::kPrevious);  // only successes are remembered
  EXPECT_EQ(Skip(fcb, 1), 33);
  EXPECT_EQ(Bof(fcb), false);
  EXPECT_EQ(Rec().Count(DriverOp::kSkip) + Rec().Count(DriverOp::kBof), 2);  // before the end
}

TEST_F(DispatchTest, WriteFamily) {
  ASSERT_EQ(Open(fcb), 0);
  ASSERT_EQ(Add(fcb), 0);
  EXPECT_TRUE(fcb.state & kStateRecordCurrent);
  ASSERT_EQ(Put(fcb), 0);
  ASSERT_EQ(Delete(fcb), 0);
  EXPECT_FALSE(fcb.state & kStateRecordCurrent);
  EXPECT_EQ(Put(fcb), 33);
  ASSERT_EQ(Append(fcb), 0);
  EXPECT_FALSE(fcb.state & kStateRecordCurrent);  // APPEND does not make a record current
}

TEST_F(DispatchTest, HoldAndWatchMarks) {
  OpenAndRead();
  ASSERT_EQ(Hold(fcb), 0);
  ASSERT_EQ(Watch(fcb), 0);
  EXPECT_EQ(fcb.state & 0x1E00, uint32_t{kStateHoldRequested | kStateWatchRequested});
  ASSERT_EQ(Next(fcb), 0);  // the driver holds and watches the record read
  EXPECT_EQ(fcb.state & 0x1E00, uint32_t{kStateRecordHeld | kStateRecordWatched});
  EXPECT_EQ(GetProperty(fcb, 0x7305), "1");
  EXPECT_EQ(GetProperty(fcb, 0x7304), "1");
  ASSERT_EQ(Next(fcb), 0);  // a plain read drops both marks
  EXPECT_EQ(fcb.state & 0x1E00, 0u);
  ASSERT_EQ(Hold(fcb, 5), 0);
  ASSERT_EQ(GetByPointer(fcb, 7), 0);
  EXPECT_TRUE(fcb.state & kStateRecordHeld);
  ASSERT_EQ(Put(fcb), 0);  // PUT releases the hold
  EXPECT_FALSE(fcb.state & kStateRecordHeld);
  ASSERT_EQ(Hold(fcb), 0);
  ASSERT_EQ(Get(fcb, kPk), 0);
  ASSERT_EQ(Release(fcb), 0);
  EXPECT_EQ(fcb.state & 0x1800, 0u);
  ASSERT_EQ(Watch(fcb), 0);
  Rec().results[DriverOp::kNext] = 43;
  EXPECT_EQ(Next(fcb), 43);  // a failure drops the watch bits and the sequence
  EXPECT_EQ(fcb.state & 0x2622, 0u);
}

TEST_F(DispatchTest, StreamAndLockFamilies) {
  ASSERT_EQ(Share(fcb), 0);
  ASSERT_EQ(Stream(fcb), 0);
  EXPECT_TRUE(fcb.state & kStateStreaming);
  EXPECT_EQ(Stream(fcb), 0);  // forbidden bit: skipped
  EXPECT_EQ(Rec().Count(DriverOp::kStream), 1);
  ASSERT_EQ(Flush(fcb), 0);
  EXPECT_FALSE(fcb.state & kStateStreaming);
  ASSERT_EQ(Lock(fcb, 3), 0);
  EXPECT_EQ(fcb.state & 0x90, 0x90u);
  ASSERT_EQ(Unlock(fcb), 0);
  EXPECT_EQ(fcb.state & 0x90, 0u);
  EXPECT_EQ(Unlock(fcb), 0);  // not locked: skipped
  EXPECT_EQ(Rec().Count(DriverOp::kUnlock), 1);
}

TEST_F(DispatchTest, CloseEndsEverythingButBuildByEvents) {
  OpenAndRead(0x12);
  ASSERT_EQ(Lock(fcb), 0);
  ASSERT_EQ(Stream(fcb), 0);
  BuildByEvents(fcb, true);
  ASSERT_EQ(Close(fcb), 0);
  EXPECT_EQ(fcb.state, uint32_t{kStateBuildByEvents});
  EXPECT_EQ(Rec().states_live, 0);
  EXPECT_EQ(fcb.post_actions, kPostRefreshError | kPostFreeState);
}

// --- working state and errors -----------------------------------------------------------------

TEST_F(DispatchTest, WorkingStateLifetime) {
  EXPECT_EQ(Rec().states_created, 0);
  ASSERT_EQ(Open(fcb), 0);
  ASSERT_EQ(Set(fcb), 0);
  EXPECT_EQ(Rec().states_created, 1);  // created once, kept while open
  ASSERT_EQ(Close(fcb), 0);
  EXPECT_EQ(Rec().states_live, 0);

  EXPECT_EQ(Send(fcb, "FLAGS=1"), "");  // allowed closed and kept for the next OPEN
  EXPECT_EQ(Rec().states_live, 1);
  EXPECT_EQ(Name(fcb), "");
  EXPECT_EQ(Rec().states_live, 1);
  EXPECT_EQ(GetProperty(fcb, 0x7316), "GRUPA");  // allowed closed, not kept
  EXPECT_EQ(Rec().states_live, 0);
  EXPECT_EQ(Create(fcb), 0);
  EXPECT_EQ(Rec().states_live, 0);
}

TEST_F(DispatchTest, FailedOpenFreesStateAndPostsError) {
  Rec().results[DriverOp::kOpen] = 2;
  EXPECT_EQ(Open(fcb), 2);
  EXPECT_FALSE(fcb.IsOpen());
  EXPECT_EQ(Rec().states_live, 0);
  EXPECT_EQ(ErrorCode(), 2);
  EXPECT_EQ(ErrorFile(), "GRUPA");
  EXPECT_EQ(FileErrorCode(), 0);
  Rec().results[DriverOp::kShare] = 64;
  EXPECT_EQ(Share(fcb), 64);
  EXPECT_EQ(Rec().states_live, 0);
}

TEST_F(DispatchTest, FailedCloseStillClosesTheFile) {
  ASSERT_EQ(Open(fcb), 0);
  Rec().results[DriverOp::kClose] = 90;
  Rec().os_error = 5;
  EXPECT_EQ(Close(fcb), 90);
  EXPECT_FALSE(fcb.IsOpen());
  EXPECT_EQ(Rec().states_live, 0);
  EXPECT_EQ(FileErrorCode(), 5);
  EXPECT_EQ(Open(fcb), 0);  // and can be opened again
}

TEST_F(DispatchTest, FileSystemErrorCarriesOsError) {
  ASSERT_EQ(Open(fcb), 0);
  Rec().results[DriverOp::kAdd] = 90;
  Rec().os_error = 112;
  EXPECT_EQ(Add(fcb), 90);
  EXPECT_EQ(ErrorCode(), 90);
  EXPECT_EQ(FileErrorCode(), 112);
  EXPECT_EQ(FileError(), std::string(ErrorText(412)));
  PostError(7);  // another error makes the file details stale
  EXPECT_EQ(FileErrorCode(), 0);
  EXPECT_EQ(ErrorFile(), "");
}

TEST_F(DispatchTest, DriverSkipPostsNothing) {
  ASSERT_EQ(Open(fcb), 0);
  PostError(33);
  Rec().results[DriverOp::kFlush] = -1;
  DriverArgs a;
  EXPECT_EQ(DispatchRaw(DriverOp::kFlush, fcb, a), -1);
  EXPECT_EQ(fcb.last_error, 0);
  EXPECT_EQ(ErrorCode(), 33);
}

TEST_F(DispatchTest, NonRefreshingSuccessKeepsError) {
  ASSERT_EQ(Open(fcb), 0);
  ASSERT_EQ(Set(fcb), 0);
  PostError(35);
  Rec().numbers[DriverOp::kRecordsFile] = 12;
  EXPECT_EQ(Records(fcb), 12);
  EXPECT_EQ(ErrorCode(), 35);  // RECORDS does not refresh the error status
  EXPECT_EQ(Flush(fcb), 0);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(DispatchTest, UnknownDriverGives80) {
  FileDeclaration d = MakeDeclaration();
  d.driver = "NOSUCH";
  FileControlBlock f(d);
  EXPECT_EQ(f.driver, nullptr);
  EXPECT_EQ(Open(f), 80);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(Close(f), 37);
}

TEST_F(DispatchTest, DriverRegisteredLaterIsBoundOnFirstUse) {
  static const DriverRegistration late{{}, {}, "LATEDRV", "", "", &testing::RecordingEntry,
                                       &testing::CreateRecordingState};
  FileDeclaration d = MakeDeclaration();
  d.driver = "LateDrv";
  FileControlBlock f(d);
  EXPECT_EQ(Open(f), 80);
  ASSERT_TRUE(RegisterDriver(late));
  EXPECT_EQ(Open(f), 0);
  EXPECT_EQ(f.driver, &late);
  EXPECT_EQ(Close(f), 0);
  UnregisterDriver("LATEDRV");
}

TEST_F(DispatchTest, StringResultsNeedAWorkingState) {
  static constexpr uint8_t kOps[] = {23};
  static const DriverRegistration stateless{kOps, {}, "STATELESS", "", "", &testing::RecordingEntry,
                                            nullptr};
  FileControlBlock f(decl, &stateless);
  Rec().texts[DriverOp::kName] = "C:\\DATA\\GRUPA.TVX";
  EXPECT_EQ(Name(f), "");
  EXPECT_EQ(Name(fcb), "C:\\DATA\\GRUPA.TVX");
  EXPECT_EQ(Rec().Count(DriverOp::kName), 2);
}

// --- deferred BUILD ---------------------------------------------------------------------------

struct PostedMessage {
  uint32_t message;
  FileControlBlock* fcb;
};

TEST_F(DispatchTest, DeferredBuildRunsThroughBuildEvent) {
  std::vector<PostedMessage> posted;
  SetBuildMessageHook([&](uint32_t m, FileControlBlock& f) { posted.push_back({m, &f}); });
  ASSERT_EQ(Open(fcb, 0x12), 0);
  BuildByEvents(fcb, true);
  {
    std::string components = "+GRU:NAZIV";
    std::string filter = "GRU:SIFRA > 3";
    ASSERT_EQ(BuildIndex(fcb, kIndex, components, filter), 0);
    components.assign(components.size(), '#');  // the stored copy must not change
    filter.clear();
  }
  EXPECT_EQ(Rec().Count(DriverOp::kBuildDynFilter), 0);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, 0x2420u);
  EXPECT_EQ(posted[0].fcb, &fcb);
  EXPECT_FALSE(fcb.state & kStateBuildByEvents);

  // While the build runs, other operations on the file are refused.
  ASSERT_EQ(Set(fcb), 0);
  std::vector<int> inner;
  uint32_t state_inside = 0;
  Rec().during = [&](DriverOp op, FileControlBlock& f) {
    if (op != DriverOp::kBuildDynFilter) return;
    state_inside = f.state;
    inner.push_back(Next(f));
    inner.push_back(Add(f));
    inner.push_back(GetProperty(f, 0x7312) == "2" ? 0 : 1);
    inner.push_back(f.last_error);
  };
  EXPECT_EQ(RunDeferredBuild(fcb), 0);
  EXPECT_TRUE(state_inside & kStateBuildInProgress);
  EXPECT_EQ(inner, (std::vector<int>{92, 92, 0, 0}));
  EXPECT_FALSE(fcb.state & kStateBuildInProgress);
  ASSERT_EQ(Rec().Count(DriverOp::kBuildDynFilter), 1);
  // The driver saw the stored arguments.
  for (size_t i = 0; i < Rec().calls.size(); ++i) {
    if (Rec().calls[i] != DriverOp::kBuildDynFilter) continue;
    EXPECT_EQ(Rec().args[i].key, kIndex);
  }
  EXPECT_EQ(RunDeferredBuild(fcb), 0);  // nothing stored any more
  EXPECT_EQ(Rec().Count(DriverOp::kBuildDynFilter), 1);
  // The next BUILD is immediate again.
  ASSERT_EQ(Build(fcb), 0);
  EXPECT_EQ(Rec().Count(DriverOp::kBuildFile), 1);
  EXPECT_EQ(posted.size(), 1u);
}

TEST_F(DispatchTest, BuildMessageForDestroyedFileIsIgnored) {
  std::vector<FileControlBlock*> posted;
  SetBuildMessageHook([&](uint32_t, FileControlBlock& f) { posted.push_back(&f); });
  {
    FileControlBlock temporary(decl);
    ASSERT_EQ(Open(temporary, 0x12), 0);
    BuildByEvents(temporary, true);
    ASSERT_EQ(Build(temporary), 0);
  }
  ASSERT_EQ(Open(fcb, 0x12), 0);
  BuildByEvents(fcb, true);
  ASSERT_EQ(Build(fcb), 0);
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(AnswerBuildMessage(posted[0]), -1);  // gone: the pointer is not followed
  EXPECT_EQ(AnswerBuildMessage(posted[1]), 0);
  EXPECT_EQ(AnswerBuildMessage(posted[1]), -1);  // answered once only
  EXPECT_EQ(Rec().Count(DriverOp::kBuildFile), 1);
}

TEST_F(DispatchTest, DeferredBuildWithoutWindowRunsAtOnce) {
  ASSERT_EQ(Open(fcb, 0x12), 0);
  BuildByEvents(fcb, true);
  ASSERT_EQ(Build(fcb), 0);
  EXPECT_EQ(Rec().Count(DriverOp::kBuildFile), 1);
  EXPECT_FALSE(fcb.state & kStateBuildByEvents);
}

TEST_F(DispatchTest, FailedDeferredBuildEndsTheSequence) {
  SetBuildMessageHook([](uint32_t, FileControlBlock&) {});
  OpenAndRead(0x12);
  BuildByEvents(fcb, true);
  ASSERT_EQ(BuildKey(fcb, kPk), 0);
  Rec().results[DriverOp::kBuildKey] = 93;
  EXPECT_EQ(RunDeferredBuild(fcb), 93);
  EXPECT_EQ(ErrorCode(), 93);
  EXPECT_EQ(fcb.state & 0x6022, 0u);  // FailClr of BUILDevent, and no build in progress
}

// --- invariants over long random sequences ---------------------------------------------------

TEST_F(DispatchTest, RandomSequencesKeepTheStateWordSound) {
  std::vector<FileControlBlock*> posted;
  SetBuildMessageHook([&](uint32_t, FileControlBlock& f) { posted.push_back(&f); });
  std::mt19937 rng(20261207);
  const int outcomes[] = {0, 0, 0, 0, 33, 35, 43, 90, -1, 37};
  for (int step = 0; step < 20000; ++step) {
    int code = static_cast<int>(rng() % 96);
    Rec().results.clear();
    Rec().results[static_cast<DriverOp>(code & 0xFF)] = outcomes[rng() % 10];
    DriverArgs a;
    a.key = static_cast<int>(rng() % 5) - 1;
    a.text = (rng() % 4 == 0) ? std::string_view("  ") : std::string_view("pos");
    a.mode = (rng() % 2) ? 0x12 : 0x42;
    if (rng() % 50 == 0) BuildByEvents(fcb, true);
    if (!posted.empty() && rng() % 3 == 0) {
      AnswerBuildMessage(posted.back());
      posted.pop_back();
    } else {
      DispatchCode(code, fcb, a);
    }
    SCOPED_TRACE(::testing::Message() << "step " << step << " code " << code);
    ASSERT_EQ(fcb.state & kStateIndexBuilt, 0u);
    ASSERT_EQ(fcb.state & kStateBuildInProgress, 0u);
    ASSERT_GE(fcb.last_error, 0);
    ASSERT_LE(Rec().states_live, 1);
    if (fcb.IsOpen()) {
      ASSERT_NE(fcb.work, nullptr);
    } else {
      ASSERT_EQ(fcb.state & ~static_cast<uint32_t>(kStateBuildByEvents), 0u);
    }
  }
}

}  // namespace
}  // namespace cinevo
