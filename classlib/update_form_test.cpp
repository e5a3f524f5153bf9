// An update form end to end: a form over a file of groups (one record, an entry for its name,
// OK, Cancel, the frame toolbar), run by the window manager with the real file manager,
// relation manager and error reporter, and a user played from a script. What reaches the disk
// and which messages the user saw are checked.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "classlib/classlib_test_support.h"
#include "classlib/error_class.h"
#include "classlib/file_manager.h"
#include "classlib/form_adapters.h"
#include "classlib/relation_manager.h"
#include "classlib/scripted_window.h"
#include "classlib/toolbar.h"
#include "classlib/window_manager.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {
namespace {

namespace fs = std::filesystem;
namespace tb = toolbar_button;
using namespace test_support;

constexpr int kName = 2;    // entry on GRU:SIFRA
constexpr int kOk = 3;
constexpr int kCancel = 4;

// The group form as a procedure writes it.
class GroupForm : public WindowManager {
 public:
  GroupForm(ScriptedWindow& w, RelationManager& groups, ErrorClass& errors, int& globalRequest,
            int32_t& vcr)
      : WindowManager(w), w_(w), relation_(groups), file_(groups.Me()), errors_(errors),
        globalRequest_(globalRequest), vcr_(vcr), target_(*this) {}

  int Init() override {
    request = globalRequest_;
    if (int r = WindowManager::Init(); r != 0) return r;
    firstField = kName;
    vcrRequest = &vcr_;
    errors = &errors_;
    AddItem(toolbar_);
    globalRequest_ = 0;
    AddUpdateFile(file_);
    AddItem(kCancel, response::kCancelled);
    primary = &relation_;
    okControl = kOk;
    if (deleteWithoutAsking) deleteAction = 4;
    if (insertAskingForAnother) insertAction = 4;
    if (PrimeUpdate() != 0) return level::kHandled;
    w_.Open();
    opened = true;
    target_.request = request;
    toolbar_.AddTarget(target_, 0);
    toolbar_.SetTarget(0);
    SetAlerts();
    return 0;
  }

  bool deleteWithoutAsking = false;
  bool insertAskingForAnother = false;

 private:
  ScriptedWindow& w_;
  RelationForm relation_;
  FileForm file_;
  ErrorForm errors_;
  int& globalRequest_;
  int32_t& vcr_;
  Toolbar toolbar_;
  ToolbarFormTarget target_;
};

class UpdateFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = PrepareDir("update_form");
    errors_.Init();
    decl_ = GroupDecl(dir_);
    fcb_ = std::make_unique<FileControlBlock>(decl_);
    groups_.Init(*fcb_, errors_);
    groups_.fileNameValue = "Grupa";
    groups_.AddKey(0, "GRU:Prk", 0);
    relation_.Init(groups_, true);
    ASSERT_EQ(relation_.OpenAll(), 0);  // the calling window keeps the file open
  }
  void TearDown() override {
    relation_.CloseAll();
    relation_.Kill();
    errors_.Kill();
    fs::remove_all(dir_);
  }

  // The caller's side of the protocol.
  int Insert(ScriptedWindow& w, bool askForAnother = false) {
    groups_.PrimeRecord();
    return RunForm(w, 1, false, askForAnother);
  }
  int Change(ScriptedWindow& w, std::string_view name) {
    Read(name);
    return RunForm(w, 2);
  }
  int Delete(std::string_view name, bool withoutAsking) {
    Read(name);
    ScriptedWindow w;
    const int r = RunForm(w, 3, withoutAsking);
    EXPECT_TRUE(w.seen.empty()) << "a delete never shows the form";
    return r;
  }
  int RunForm(ScriptedWindow& w, int request, bool deleteWithoutAsking = false,
              bool askForAnother = false) {
    globalRequest_ = request;
    GroupForm form(w, relation_, errors_, globalRequest_, vcr_);
    form.deleteWithoutAsking = deleteWithoutAsking;
    form.insertAskingForAnother = askForAnother;
    return form.Run();
  }
  void Read(std::string_view name) {
    std::fill(fcb_->record.begin(), fcb_->record.end(), ' ');
    SetText(*fcb_, 0, 20, name);
    ASSERT_EQ(Get(*fcb_, 0), 0) << name;
  }
  // The user types into the name entry.
  void Type(ScriptedWindow& w, std::string name) {
    w.User(EVENT::Accepted, kName, [this, name] {
      std::fill(fcb_->record.begin(), fcb_->record.begin() + 20, ' ');
      SetText(*fcb_, 0, 20, name);
    });
  }
  std::vector<std::string> OnDisk() {
    FileControlBlock f(decl_);
    std::vector<std::string> out;
    EXPECT_EQ(Open(f, 0x42), 0);
    SetKey(f, 0);
    while (Next(f) == 0) out.push_back(Text(f, 0, 20));
    Close(f);
    return out;
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> t;
    for (const MessageBoxRequest& r : boxes_.Shown()) t.push_back(r.title);
    return t;
  }
  std::string Buffer() const { return Text(*fcb_, 0, 20); }

  fs::path dir_;
  ErrorClass errors_;
  FileDeclaration decl_;
  std::unique_ptr<FileControlBlock> fcb_;
  FileManager groups_;
  RelationManager relation_;
  int globalRequest_ = 0;
  int32_t vcr_ = 0;
  ScriptedMessageBoxes boxes_;
};

using Names = std::vector<std::string>;

TEST_F(UpdateFormTest, InsertChangeAndDeleteReachTheFile) {
  ScriptedWindow w1;
  Type(w1, "Drama");
  w1.User(EVENT::Accepted, kOk);
  EXPECT_EQ(Insert(w1), response::kCompleted);
  EXPECT_EQ(OnDisk(), Names{"Drama"});
  EXPECT_EQ(globalRequest_, 0);  // the form took the request

  ScriptedWindow w2;
  Type(w2, "Comedy");
  w2.User(EVENT::Accepted, kOk);
  EXPECT_EQ(Change(w2, "Drama"), response::kCompleted);
  EXPECT_EQ(OnDisk(), Names{"Comedy"});

  boxes_.Answer(box_button::kYes);  // "Confirm Delete"
  EXPECT_EQ(Delete("Comedy", false), response::kCompleted);
  EXPECT_EQ(Titles(), Names{"Confirm Delete"});
  EXPECT_TRUE(OnDisk().empty());
}

TEST_F(UpdateFormTest, CancelWithoutChangesAsksNothingAndWithChangesAsksSaveRecord) {
  ScriptedWindow add;
  Type(add, "Drama");
  add.User(EVENT::Accepted, kOk);
  ASSERT_EQ(Insert(add), response::kCompleted);

  ScriptedWindow unchanged;
  unchanged.User(EVENT::Accepted, kCancel);
  EXPECT_EQ(Change(unchanged, "Drama"), response::kCancelled);
  EXPECT_TRUE(boxes_.Shown().empty());

  ScriptedWindow changedNo;
  Type(changedNo, "Thriller");
  changedNo.User(EVENT::Accepted, kCancel);
  boxes_.Answer(box_button::kNo);
  EXPECT_EQ(Change(changedNo, "Drama"), response::kCancelled);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  const MessageBoxRequest& box = boxes_.Shown()[0];
  EXPECT_EQ(box.title, "Save Record");
  EXPECT_EQ(box.text, "Do you want to save the changes to this record?");
  EXPECT_EQ(box.buttons, box_button::kYes + box_button::kNo + box_button::kCancel);
  EXPECT_EQ(box.defaultButton, box_button::kCancel);
  EXPECT_EQ(OnDisk(), Names{"Drama"});
  EXPECT_EQ(Buffer(), "Drama");  // the caller's record is back

  ScriptedWindow changedYes;
  Type(changedYes, "Thriller");
  changedYes.User(EVENT::CloseWindow);
  boxes_.Answer(box_button::kYes);
  EXPECT_EQ(Change(changedYes, "Drama"), response::kCompleted);
  EXPECT_EQ(OnDisk(), Names{"Thriller"});
}

TEST_F(UpdateFormTest, DuplicateNameIsReportedAndTheFormStaysUntilCancelled) {
  ScriptedWindow add;
  Type(add, "Drama");
  add.User(EVENT::Accepted, kOk);
  ASSERT_EQ(Insert(add), response::kCompleted);

  ScriptedWindow dup;
  Type(dup, "DRAMA");  // the key ignores case
  dup.User(EVENT::Accepted, kOk);
  dup.User(EVENT::Accepted, kCancel);
  boxes_.Answer(box_button::kOk);  // "Duplicate Key Error"
  boxes_.Answer(box_button::kNo);  // "Save Record": no
  EXPECT_EQ(Insert(dup), response::kCancelled);
  EXPECT_EQ(Titles(), (Names{"Duplicate Key Error", "Save Record"}));
  EXPECT_EQ(OnDisk(), Names{"Drama"});
}

TEST_F(UpdateFormTest, RecordAddedYesKeepsTheFormForAnotherAndBothAreKept) {
  ScriptedWindow w;
  Type(w, "Drama");
  w.User(EVENT::Accepted, kOk);
  Type(w, "Comedy");
  w.User(EVENT::Accepted, kOk);
  boxes_.Answer(box_button::kYes);
  boxes_.Answer(box_button::kNo);
  EXPECT_EQ(Insert(w, /*askForAnother=*/true), response::kCompleted);
  EXPECT_EQ(Titles(), (Names{"Record Added", "Record Added"}));
  EXPECT_EQ(OnDisk(), (Names{"Comedy", "Drama"}));
}

TEST_F(UpdateFormTest, NextInTheToolbarSavesAndLeavesTheRequestForTheCaller) {
  ScriptedWindow add;
  Type(add, "Drama");
  add.User(EVENT::Accepted, kOk);
  ASSERT_EQ(Insert(add), response::kCompleted);

  ScriptedWindow w;
  Type(w, "Western");
  w.User(EVENT::Accepted, tb::kDown);
  EXPECT_EQ(Change(w, "Drama"), response::kCompleted);
  EXPECT_EQ(vcr_, tb::kDown);
  EXPECT_EQ(OnDisk(), Names{"Western"});
  EXPECT_EQ(w.Tip(tb::kDown), "Save changes and go to next record");
}

TEST_F(UpdateFormTest, DeleteWithoutAskingAndDeleteRefused) {
  ScriptedWindow add;
  Type(add, "Drama");
  add.User(EVENT::Accepted, kOk);
  ASSERT_EQ(Insert(add), response::kCompleted);

  boxes_.Answer(box_button::kNo);  // "Confirm Delete": no
  EXPECT_EQ(Delete("Drama", false), response::kCancelled);
  EXPECT_EQ(OnDisk(), Names{"Drama"});
  EXPECT_EQ(Delete("Drama", true), response::kCompleted);
  EXPECT_EQ(Titles(), Names{"Confirm Delete"});
  EXPECT_TRUE(OnDisk().empty());
}

}  // namespace
}  // namespace cinevo::classlib
