#include "classlib/file_chooser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/ui/file_dialog.h"

namespace cinevo::classlib {
namespace {

namespace fs = std::filesystem;

// What the dialog was shown with.
struct Shown {
  std::string title;
  std::string file;
  std::string filter;
  unsigned flags = 0;
  std::string directory;  // the program's current directory while it was open
};

// A dialog that records what it was shown, may wander to another directory (as a user browsing
// does with flags that do not keep the directory) and answers `answer` or cancels.
FileDialogFunction Dialog(std::vector<Shown>& log, std::string answer, bool cancel = false,
                          fs::path wanderTo = {}) {
  return [&log, answer, cancel, wanderTo](std::string_view title, std::string& file,
                                          std::string_view filter, unsigned flags) {
    log.push_back({std::string(title), file, std::string(filter), flags,
                   fs::current_path().string()});
    if (!wanderTo.empty()) fs::current_path(wanderTo);
    if (cancel) return false;
    file = answer;
    return true;
  };
}

class FileChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start = fs::current_path();
    root = fs::temp_directory_path() / ("file_chooser_test_" + std::to_string(::getpid()));
    fs::create_directories(root / "movies");
    fs::create_directories(root / "elsewhere");
    fs::current_path(root);
    chooser.Init();
  }
  void TearDown() override {
    fs::current_path(start);
    fs::remove_all(root);
  }

  fs::path start;
  fs::path root;
  FileChooser chooser;
  std::vector<Shown> shown;
};

TEST_F(FileChooserTest, MasksJoinInOrderAndNoMaskOffersAllFiles) {
  chooser.dialog = Dialog(shown, "/m/a.avi");
  EXPECT_EQ(chooser.windowTitle, "Select A File");
  chooser.Ask(false);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].filter, "All Files|*.*");
  EXPECT_EQ(shown[0].title, "Select A File");
  EXPECT_EQ(shown[0].flags, 0u);

  chooser.AddMask("Avi", "*.AVI");
  chooser.AddMask("Mpg  ", "*.MPG");  // a padded description is clipped
  chooser.AddMask("Mov", "*.MOV");
  chooser.AddMask("All", "*.*");
  EXPECT_EQ(chooser.maskString, "Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*");
  chooser.SetMask("Wav|*.WAV");
  EXPECT_EQ(chooser.maskString, "Wav|*.WAV");
  chooser.SetMask("");
  EXPECT_EQ(chooser.maskString, "");
}

TEST_F(FileChooserTest, TheDialogGetsTitleStartFileAndFlagsAndItsAnswerComesBack) {
  chooser.windowTitle = "Choose movie";
  chooser.defaultFile = "old.avi";
  chooser.flags = 8;
  chooser.dialog = Dialog(shown, "/home/user/Videos/new.avi");
  EXPECT_EQ(chooser.Ask(true), "/home/user/Videos/new.avi");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "Choose movie");
  EXPECT_EQ(shown[0].file, "old.avi");
  EXPECT_EQ(shown[0].flags, 8u);
}

TEST_F(FileChooserTest, CancelGivesAnEmptyStringAndSoDoesAMissingDialog) {
  chooser.defaultFile = "old.avi";
  chooser.dialog = Dialog(shown, "ignored", /*cancel=*/true);
  EXPECT_EQ(chooser.Ask(true), "");
  chooser.dialog = nullptr;
  EXPECT_EQ(chooser.Ask(true), "");
}

TEST_F(FileChooserTest, RestorePathBringsBackTheDirectoryWhereverTheUserWent) {
  chooser.defaultDirectory = (root / "movies").string();
  chooser.dialog = Dialog(shown, "x.avi", false, root / "elsewhere");
  chooser.Ask(true);
  EXPECT_EQ(shown.at(0).directory, (root / "movies").string());  // the dialog starts there
  EXPECT_EQ(fs::current_path(), root);
  EXPECT_EQ(chooser.savePath, root.string());

  // Cancelling restores as well; without restorePath the program stays where it was left.
  chooser.dialog = Dialog(shown, "", true, root / "elsewhere");
  chooser.Ask(true);
  EXPECT_EQ(fs::current_path(), root);
  chooser.Ask(false);
  EXPECT_EQ(fs::current_path(), root / "elsewhere");
}

TEST_F(FileChooserTest, AMissingDefaultDirectoryLeavesTheDialogWhereTheProgramIs) {
  chooser.defaultDirectory = (root / "gone").string();
  chooser.dialog = Dialog(shown, "x.avi");
  EXPECT_EQ(chooser.Ask(true), "x.avi");
  EXPECT_EQ(shown.at(0).directory, root.string());
  EXPECT_EQ(fs::current_path(), root);
}

// Unless a form replaces it, the chooser shows the runtime's file dialog.
TEST_F(FileChooserTest, WithoutADialogOfItsOwnTheChooserShowsTheRuntimesFileDialog) {
  ScriptedFileDialogs dialogs;
  dialogs.Choose("/m/chosen.avi");
  dialogs.Cancel();
  FileChooser fresh;
  fresh.Init();
  fresh.AddMask("Avi", "*.AVI");
  fresh.windowTitle = "Choose movie";
  EXPECT_EQ(fresh.Ask(true), "/m/chosen.avi");
  EXPECT_EQ(fresh.Ask(true), "");
  ASSERT_EQ(dialogs.Shown().size(), 2u);
  EXPECT_EQ(dialogs.Shown()[0].title, "Choose movie");
  EXPECT_EQ(dialogs.Shown()[0].filter, "Avi|*.AVI");
}

}  // namespace
}  // namespace cinevo::classlib
