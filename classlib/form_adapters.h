// The update-form interfaces (form_records.h) over the class library's own file manager,
// relation manager and error reporter. A form procedure keeps one of each beside its window
// manager:
//
//   FileForm file(podgruFile);              // FormFile over a FileManager
//   RelationForm relation(podgruRelations); // FormRelation over a RelationManager
//   ErrorForm errors(globalErrors);         // FormMessages over the ErrorClass
//   manager.primary = &relation; manager.errors = &errors; manager.AddUpdateFile(file);
#pragma once

#include "classlib/error_class.h"
#include "classlib/file_manager.h"
#include "classlib/form_records.h"
#include "classlib/relation_manager.h"

namespace cinevo::classlib {

class FileForm : public FormFile {
 public:
  explicit FileForm(FileManager& file) : file_(file) {}
  FileManager& manager() const { return file_; }

  int SaveBuffer() override { return static_cast<int>(file_.SaveBuffer()); }
  void RestoreBuffer(int& id, bool restore) override {
    long copy = id;
    file_.RestoreBuffer(copy, restore);
    id = static_cast<int>(copy);
  }
  bool EqualBuffer(int id) override { return file_.EqualBuffer(id); }
  int PrimeRecord(bool keepBuffer) override { return file_.PrimeRecord(keepBuffer); }
  int Insert(bool report) override { return file_.Insert(report); }
  std::string GetPosition() override { return file_.GetPosition(); }
  int Fetch(std::string_view position) override { return file_.Fetch(position); }

 private:
  FileManager& file_;
};

class RelationForm : public FormRelation {
 public:
  explicit RelationForm(RelationManager& relation) : relation_(relation), me_(relation.Me()) {}
  RelationManager& manager() const { return relation_; }

  FormFile& Me() override { return me_; }
  void SaveLinks() override { relation_.SaveLinks(); }
  int Update(bool ditto) override { return relation_.Update(ditto); }
  int Delete(bool ask) override { return relation_.Delete(ask); }
  int CancelAutoInc() override { return relation_.CancelAutoInc(); }

 private:
  RelationManager& relation_;
  FileForm me_;
};

class ErrorForm : public FormMessages {
 public:
  explicit ErrorForm(ErrorClass& errors) : errors_(errors) {}
  unsigned Ask(int id, unsigned buttons, unsigned defaultButton) override {
    return errors_.Ask(static_cast<uint16_t>(id), buttons, defaultButton);
  }
  int Throw(int id) override { return errors_.Throw(static_cast<uint16_t>(id)); }

 private:
  ErrorClass& errors_;
};

}  // namespace cinevo::classlib
