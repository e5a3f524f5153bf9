// Shared by the update forms' tests: a catalogue in a fresh folder, opened as the calling window
// keeps it open, and forms run through their real Run with a user played from a script inside
// their ACCEPT loop, offscreen.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/main_routine.h"
#include "runtime/ui/events.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/testing/ui_driver.h"
#include "runtime/ui/window.h"

namespace cinevo::app::test {

// What the user does while a form is open: actions on the driver, each followed by step(), which
// hands every event raised so far to the form.
using Script = std::function<void(UiDriver& ui, const std::function<void()>& step)>;

// A form whose loop is the script: the window's opening is handled, the script runs, and what
// it left pending is handled too. Run does the rest as for the real form.
template <class Form>
class ScriptedForm : public Form {
 public:
  template <class... Args>
  explicit ScriptedForm(Script script, Args&&... args)
      : Form(std::forward<Args>(args)...), script_(std::move(script)) {}
  int Ask() override {
    UiDriver ui(this->runtime());
    const std::function<void()> step = [&] { ui.Run([this] { this->Dispatch(); }); };
    step();
    caption = this->runtime().Caption();
    if (script_) script_(ui, step);
    step();
    for (const MessageBoxRequest& r : ui.MessageBoxesShown()) boxes.push_back(r.title);
    dialogs = ui.FileDialogsShown();
    return 0;
  }
  std::vector<std::string> boxes;  // titles of the message boxes the form showed
  std::vector<FileDialogRequest> dialogs;
  std::string caption;  // as the window opened

 private:
  Script script_;
};

using Texts = std::vector<std::string>;

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEventRuntime());
    isam::RegisterIsamDriver();
    isam::PageStoreOptions o;
    o.sync = false;
    isam::SetIsamStoreDefaults(o);
    dir_ = std::filesystem::temp_directory_path() /
           ("forms_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    globals_.errors.Init();
    catalogue_ = std::make_unique<Catalogue>(dir_.string());
    globals_.catalogue = catalogue_.get();
    catalogue_->InitGroups(globals_.errors);
    catalogue_->InitMovies(globals_.errors);
    // The calling window keeps the files open, as the favourites window does.
    ASSERT_EQ(catalogue_->GroupRelations().OpenAll(), 0);
    ASSERT_EQ(catalogue_->Movies().EnsureOpen(), 0);
  }
  void TearDown() override {
    if (catalogue_) {
      catalogue_->GroupRelations().CloseAll();
      catalogue_->KillGroups();
      catalogue_->KillMovies();
    }
    globals_.errors.Kill();
    std::filesystem::remove_all(dir_);
  }

  FileControlBlock& GroupRecord() { return catalogue_->GroupFile(); }
  FileControlBlock& MovieRecord() { return catalogue_->MovieFile(); }

  void AddGroup(std::string_view name) {
    catalogue_->Groups().PrimeRecord();
    StoreText(GroupRecord(), gru::kSifra, gru::kSifraSize, name);
    ASSERT_EQ(catalogue_->Groups().Insert(), 0) << name;
  }
  void AddMovie(std::string_view group, std::string_view path) {
    catalogue_->Movies().PrimeRecord();
    StoreText(MovieRecord(), pod::kSifra, pod::kSifraSize, group);
    StoreText(MovieRecord(), pod::kNaslov, pod::kNaslovSize, path);
    StoreText(MovieRecord(), pod::kNaslov2, pod::kNaslov2Size, path.substr(0, 10));
    ASSERT_EQ(catalogue_->Movies().Insert(), 0) << path;
  }
  // Reads the group `name` into its record buffer, as a caller does before a change or delete.
  void ReadGroup(std::string_view name) {
    StoreText(GroupRecord(), gru::kSifra, gru::kSifraSize, name);
    ASSERT_EQ(Get(GroupRecord(), 0), 0) << name;
  }
  // Reads the first movie of `group` whose path is `path`.
  void ReadMovie(std::string_view group, std::string_view path) {
    for (const Texts& m : MoviesOnDisk()) {
      if (m[0] == group && m[1] == path) {
        StoreText(MovieRecord(), pod::kSifra, pod::kSifraSize, group);
        StoreText(MovieRecord(), pod::kNaslov2, pod::kNaslov2Size, m[2]);
        ASSERT_EQ(Get(MovieRecord(), 0), 0);
        while (LoadText(MovieRecord(), pod::kNaslov, pod::kNaslovSize) != path) {
          ASSERT_EQ(Next(MovieRecord()), 0);
        }
        return;
      }
    }
    FAIL() << "no movie " << path << " in " << group;
  }

  // The files as another program sees them: groups in key order; movies in key order as
  // (group, path, first-ten) triples.
  Texts GroupsOnDisk() {
    FileControlBlock f(*GroupRecord().declaration);
    Texts out;
    EXPECT_EQ(Open(f, 0x42), 0);
    SetKey(f, 0);
    while (Next(f) == 0) out.push_back(LoadText(f, gru::kSifra, gru::kSifraSize));
    Close(f);
    return out;
  }
  std::vector<Texts> MoviesOnDisk() {
    FileControlBlock f(*MovieRecord().declaration);
    std::vector<Texts> out;
    EXPECT_EQ(Open(f, 0x42), 0);
    SetKey(f, 0);
    while (Next(f) == 0) {
      out.push_back({LoadText(f, pod::kSifra, pod::kSifraSize), LoadText(f, pod::kNaslov, pod::kNaslovSize),
                     LoadText(f, pod::kNaslov2, pod::kNaslov2Size)});
    }
    Close(f);
    return out;
  }

  std::filesystem::path dir_;
  Globals globals_;
  std::unique_ptr<Catalogue> catalogue_;
  ScriptedMessageBoxes boxes_;  // boxes shown while no form window is open (deletes)
};

}  // namespace cinevo::app::test
