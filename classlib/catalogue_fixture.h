// Shared by the class library's catalogue tests: the catalogue's two files with their file and
// relation managers, and (for the view manager's and the browse's tests) a VIEW over the movies
// in key order, the relations cascading.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classlib/classlib_test_support.h"
#include "classlib/error_class.h"
#include "classlib/file_manager.h"
#include "classlib/relation_manager.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/view/view.h"

namespace cinevo::classlib::test_support {

// The catalogue's two files with their file managers and relation managers: groups to movies
// with the given actions, movies back to groups. Build opens them as the main window does.
class CatalogueManagers {
 public:
  void Build(const std::filesystem::path& dir, LinkAction update, LinkAction del,
             const std::string& groupDriver = "TARVEX", const std::string& movieDriver = "TARVEX") {
    errors_.Init();
    groupDecl_ = GroupDecl(dir, groupDriver);
    movieDecl_ = MovieDecl(dir, movieDriver);
    groupFile_ = std::make_unique<FileControlBlock>(groupDecl_);
    movieFile_ = std::make_unique<FileControlBlock>(movieDecl_);
    groups_.Init(*groupFile_, errors_);
    groups_.fileNameValue = "Grupa";
    groups_.AddKey(0, "GRU:Prk", 0);
    groupRel_.Init(groups_, true);
    groupRel_.AddRelation(movieRel_, update, del, 0);
    groupRel_.AddRelationLink(std::span(groupFile_->record).first(20), std::span(movieFile_->record).first(20));
    movies_.Init(*movieFile_, errors_);
    movies_.fileNameValue = "PodGru";
    movies_.AddKey(0, "POD:Prk", 0);
    movieRel_.Init(movies_, true);
    movieRel_.AddRelation(groupRel_);
    built_ = true;
    ASSERT_EQ(groupRel_.OpenAll(), 0);
  }
  // Kills what Build made (closing the files first when `close`).
  void Unbuild(bool close) {
    if (built_) {
      if (close) groupRel_.CloseAll();
      groupRel_.Kill();
      movieRel_.Kill();
      built_ = false;
    }
    errors_.Kill();
  }

  ErrorClass errors_;
  FileDeclaration groupDecl_, movieDecl_;
  std::unique_ptr<FileControlBlock> groupFile_, movieFile_;
  FileManager groups_, movies_;
  RelationManager groupRel_, movieRel_;
  bool built_ = false;
};

class CatalogueFixture : public ::testing::Test, protected CatalogueManagers {
 protected:
  void SetUp() override {
    dir_ = PrepareDir("catalogue");
    Build(dir_, kLinkCascade, kLinkCascade, "TARVEX", movieDriver_);
    if (HasFatalFailure()) return;
    ViewDeclaration v;
    v.primary = movieFile_.get();
    v.key = 0;
    view_ = std::make_unique<View>(v);
  }
  void TearDown() override {
    if (view_) Close(view_->block());
    view_.reset();
    Unbuild(true);
    std::filesystem::remove_all(dir_);
  }

  void AddGroup(std::string_view name) {
    std::fill(groupFile_->record.begin(), groupFile_->record.end(), ' ');
    SetText(*groupFile_, 0, 20, name);
    ASSERT_EQ(groups_.Insert(), 0) << name;
  }
  void AddMovie(std::string_view group, std::string_view path, std::string_view title) {
    std::fill(movieFile_->record.begin(), movieFile_->record.end(), ' ');
    SetText(*movieFile_, 0, 20, group);
    SetText(*movieFile_, 20, 120, path);
    SetText(*movieFile_, 140, 10, title);
    ASSERT_EQ(movies_.Insert(), 0) << path;
  }
  // Group `name` with movies titled prefix01, prefix02, ... (count of them).
  void AddGroupWithMovies(std::string_view name, int count, std::string_view prefix = "M") {
    AddGroup(name);
    for (int i = 1; i <= count; ++i) {
      char title[32];
      std::snprintf(title, sizeof title, "%.*s%02d", static_cast<int>(prefix.size()), prefix.data(), i);
      AddMovie(name, std::string("/m/") + std::string(name) + "/" + title + ".avi", title);
    }
  }
  // Makes `name` the related (current) group record.
  void SelectGroup(std::string_view name) {
    std::fill(groupFile_->record.begin(), groupFile_->record.end(), ' ');
    SetText(*groupFile_, 0, 20, name);
  }
  std::string MovieTitle() const { return Text(*movieFile_, 140, 10); }
  std::string MovieGroup() const { return Text(*movieFile_, 0, 20); }

  std::string movieDriver_ = "TARVEX";
  std::filesystem::path dir_;
  std::unique_ptr<View> view_;
};

}  // namespace cinevo::classlib::test_support
