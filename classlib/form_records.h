// What an update form needs of the data side: the primary file's record operations, the
// relation manager that writes and deletes with referential integrity, and the error reporter
// that asks the form's questions. The window manager (window_manager.h) works only through these
// interfaces; the class library's file manager, relation manager and error class are connected
// to them by small adapters, and tests by scripted stand-ins.
//
// Levels are those of the class library: 0 go on, 1 question, 2 program error, 3 fatal,
// 4 cancel, 5 notify (a reason to stop what the caller was doing).
#pragma once

#include <string>
#include <string_view>

namespace cinevo::classlib {

// The record buffer and writing of one file.
class FormFile {
 public:
  virtual ~FormFile() = default;
  // Copies of the record buffer, by id (0 = none). RestoreBuffer puts the copy back when
  // `restore` is set, releases it either way and sets `id` to 0.
  virtual int SaveBuffer() = 0;
  virtual void RestoreBuffer(int& id, bool restore) = 0;
  // True when the buffer equals the copy byte for byte.
  virtual bool EqualBuffer(int id) = 0;
  // Clears the buffer (unless keepBuffer) and numbers the record when the file numbers its
  // records itself; returns a level.
  virtual int PrimeRecord(bool keepBuffer) = 0;
  // Adds the buffer as a new record; reports failures itself when `report`. Returns a level.
  virtual int Insert(bool report) = 0;
  // The position of the current record; empty when there is none.
  virtual std::string GetPosition() = 0;
  // Reads the record at `position` into the buffer; returns a level.
  virtual int Fetch(std::string_view position) = 0;
};

// The relation manager of a form's primary file.
class FormRelation {
 public:
  virtual ~FormRelation() = default;
  virtual FormFile& Me() = 0;
  // Remembers the linking fields' values, so that a later Update sees which changed.
  virtual void SaveLinks() = 0;
  // Writes the changed record with its related records; `ditto` selects the wording that names
  // the history key. Returns a level (1: another station changed the record).
  virtual int Update(bool ditto) = 0;
  // Deletes the current record with its related records, asking first when `ask`.
  virtual int Delete(bool ask) = 0;
  // Removes a record that automatic numbering added for a form that is being cancelled.
  virtual int CancelAutoInc() = 0;
};

// The error reporter's questions.
class FormMessages {
 public:
  virtual ~FormMessages() = default;
  // Shows message `id` with the given buttons (box_button values added together) and default
  // button; returns the button pressed.
  virtual unsigned Ask(int id, unsigned buttons, unsigned defaultButton) = 0;
  // Reports message `id` as its severity says; returns the level.
  virtual int Throw(int id) = 0;
};

}  // namespace cinevo::classlib
