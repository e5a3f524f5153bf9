// The window manager: runs one procedure's window.
//
// Every window procedure derives a class from WindowManager, overrides a few handlers (its
// set-up, the accepted-control handler, the window-event handler) and calls Run:
//
//   Init   the procedure's objects are set up and its window opened (a derived Init calls this
//          base first, then sets FIRSTFIELD, the shared navigation request and the error
//          reporter, adds its items, clears the update-form globals, opens its files, primes the
//          record of a form (PrimeUpdate; a non-zero level ends Init with 5), opens the window
//          and calls SetAlerts);
//   Ask    the ACCEPT loop: every event goes to TakeEvent, which routes it to the handlers;
//   Kill   everything is torn down (once: a second Kill does nothing).
//
// Handlers return levels: 0 go on, 5 the event is fully handled (for a close event: the window
// stays open), 3 stop (the loop ends).
//
// Update forms. A calling procedure sets GlobalRequest (1 insert, 2 change, 3 delete) with the
// record primed or read and runs the form; the form's Init copies it into `request`, and Run
// returns the response (1 completed, 2 cancelled), which the caller keeps in GlobalResponse. A
// delete request never shows the window: PrimeUpdate deletes (asking first when
// deleteAction is 2) and ends the form. The frame toolbar's navigation buttons leave their number
// in the shared navigation request (VCRRequest), so that the caller can move on and open the form
// again; a cancelled form leaves 0 there.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "classlib/form_records.h"
#include "classlib/managed_window.h"
#include "classlib/window_items.h"

namespace cinevo::classlib {

class Toolbar;
class WindowResizer;

// Handler levels.
namespace level {
inline constexpr int kContinue = 0;
inline constexpr int kStop = 3;
inline constexpr int kCancel = 4;
inline constexpr int kHandled = 5;
}  // namespace level

// Update-form requests and responses.
namespace request {
inline constexpr int kNone = 0;
inline constexpr int kInsert = 1;
inline constexpr int kChange = 2;
inline constexpr int kDelete = 3;
}  // namespace request
namespace response {
inline constexpr int kNone = 0;
inline constexpr int kCompleted = 1;
inline constexpr int kCancelled = 2;
}  // namespace response

// Key code of the right mouse button, and the frame toolbar's history button.
inline constexpr uint32_t kRightButtonKey = 2;
inline constexpr int kHistoryButton = 2011;
// The history key the forms use (Ctrl+').
inline constexpr uint32_t kFormHistoryKey = 0x2DE;

// Message ids of the form questions.
namespace form_message {
inline constexpr int kChangesWillBeLost = 3;
inline constexpr int kRecordAdded = 21;
inline constexpr int kSaveRecord = 36;
}  // namespace form_message

class WindowManager {
 public:
  explicit WindowManager(ManagedWindow& window) : window_(window) {}
  virtual ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // --- Settings (the procedure sets them in its Init) ---------------------------------------
  bool autoToolbar = false;      // the toolbar's target follows the selection (1 after Init)
  int cancelAction = 0;          // bit 0 save, bit 1 ask (3 after Init; see TakeCloseEvent)
  int changeAction = 0;          // 1 after Init
  int deleteAction = 0;          // 2 delete asking first, 4 delete without asking (2 after Init)
  int insertAction = 0;          // 2 close, 3 stay for another, 4 ask (2 after Init; 0 no priming)
  int firstField = 0;            // control selected when the window opens (0 = none)
  int okControl = 0;             // the control that completes the form (0 = none)
  uint32_t historyKey = 0;       // key that restores a field from the history copy (0 = none)
  bool resetOnGainFocus = false;
  int32_t* vcrRequest = nullptr; // the shared navigation request
  FormMessages* errors = nullptr;
  FormRelation* primary = nullptr;  // the form's primary file (nullptr: not a form)
  std::string helpText;          // what the help button shows for this window

  // --- State ---------------------------------------------------------------------------------
  int request = request::kNone;
  int originalRequest = request::kNone;
  int response = response::kNone;
  bool forcedReset = false;
  bool opened = false;
  bool dead = false;
  unsigned inited = 0;  // bit 0: the first opening was handled; bit 1: the first sizing
  std::string lastInsertedPosition;  // records added while the form stayed open
  int saved = 0;                     // id of the primary record's copy

  ManagedWindow& window() const { return window_; }
  Toolbar* toolbar() const { return toolbar_; }
  WindowResizer* resizer() const { return resize_; }

  // --- Operations (virtual, in the order procedures override them) ---------------------------
  virtual int Ask();
  virtual int Init();
  virtual int Kill();
  virtual void Open();
  virtual int PrimeFields();
  virtual int PrimeUpdate();
  virtual void Reset(bool force = false);
  virtual void RestoreField(int control);
  virtual int Run();
  virtual int RunProcedure(int number, int request);
  virtual void SetAlerts();
  virtual void SetResponse(int code);
  virtual int TakeAccepted();
  virtual int TakeCompleted();
  virtual int TakeCloseEvent();
  virtual int TakeEvent();
  virtual int TakeFieldEvent();
  virtual int TakeNewSelection();
  virtual int TakeRejected();
  virtual int TakeSelected();
  virtual int TakeWindowEvent();
  virtual void Update();
  // One step of Ask's loop: handles the current event and tells the window what came of it.
  // False when the loop is to end. (For drivers that run the window's loop themselves.)
  bool Dispatch();
  // The help button: shows `helpText` (or a general text) in a box captioned "Help".
  virtual void ShowHelp();

  // --- Items ---------------------------------------------------------------------------------
  void AddItem(BrowseItem& browse);
  void AddItem(FileDropItem& drop);
  void AddItem(Toolbar& toolbar);
  void AddItem(WindowResizer& resizer);
  void AddItem(WindowTranslator& translator);
  // Accepting `control` ends the window with `response` (a Cancel button gives 2).
  void AddItem(int control, int response);
  // A file whose record buffer is saved while the form runs and restored when it is cancelled.
  void AddUpdateFile(FormFile& file);
  // The history key: `record` is the live record buffer, `copy` a buffer of the same size that
  // keeps the values last written by a form; AddHistoryField ties a control to the bytes of one
  // field (offset and size in the record).
  void AddHistoryFile(std::span<uint8_t> record, std::span<uint8_t> copy);
  void AddHistoryField(int control, size_t offset, size_t size);
  // Asks the runtime to check every control and then raises EVENT::Completed (forms inserting
  // or changing); posts EVENT::Completed at once otherwise.
  void PostCompleted();

 protected:
  // Puts the primary record into the history copy (after a record was written).
  void SaveHistory();

 private:
  struct UpdateFile {
    FormFile* file;
    int savedId;
  };
  struct HistoryField {
    int control;
    size_t offset;
    size_t size;
  };
  struct ResponseButton {
    int control;
    int response;
  };

  int TakeInsertCompleted();
  int PrimeForAnother();

  ManagedWindow& window_;
  std::vector<BrowseItem*> browses_;
  std::vector<FileDropItem*> fileDrops_;
  std::vector<ResponseButton> buttons_;
  std::vector<UpdateFile> files_;
  std::vector<HistoryField> history_;
  std::span<uint8_t> historyRecord_;
  std::span<uint8_t> historyCopy_;
  Toolbar* toolbar_ = nullptr;
  WindowResizer* resize_ = nullptr;
  WindowTranslator* translator_ = nullptr;
  bool initialised_ = false;
  // The control the user turned to last (selected or typed into), -1 while the user has turned to
  // none since the window opened; and whether the selection of FIRSTFIELD at opening is still to
  // arrive, which is the program's, not the user's.
  int userControl_ = -1;
  bool openingSelect_ = false;
  // Points the toolbar at the part of the window the user turned to last, once there is one.
  void ServeUserControl();
};

}  // namespace cinevo::classlib
