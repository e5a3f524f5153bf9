// The view manager: drives one VIEW on behalf of a browse.
//
// It keeps a list of sort orders, each following a key of the primary file (or none) with its
// own range limit and extra filters. The current sort order becomes the VIEW's order text (the
// key's components that the range does not fix) and its range and filters become the VIEW's
// filter text, one " AND "-joined term per fixed component:
//
//   File range, one pair on a NOCASE key:  UPPER(POD:SIFRA) = UPPER('Holidays')
//   Range on component 2:                  NUM:GRP = 'A' AND NUM:NO >= 3 AND NUM:NO <= 9
//   an extra filter:                       ... AND (POD:SFSEL = 'X')
//
// Values enter the filter as literals: strings between apostrophes with every apostrophe inside
// doubled, so a value can never end its literal early and change what the filter means; other
// types as their plain text.
//
// Range kinds: Fixed (the first n components equal values taken once), Current (the same, but
// the values follow variables and the filter is rebuilt when one changed), Range (the first n-2
// components fixed, component n-1 between a low and a high value), File (the components equal the
// linking fields of a related file's current record). In a range pair `left` is the source (the
// variable for Fixed, Current and Range; the key component field of the primary file for File)
// and `right` the value the filter text uses (for File, the related file's linking field); the
// pair's `buffer` keeps the value last put into the filter.
//
// Results of reads: 0 a record was read (accepted by ValidateRecord), 5 the end of the set (or
// the hook refused), 3 a read error (reported as "Record Retrieval Error"). A failed open, order
// or filter is reported as "View Open Error" and the manager carries on without that setting.
// All reports go through the primary file's manager, so they name the primary file.
//
// Invariants:
//  1. Once at least one sort order exists, exactly one is current.
//  2. A File range's pair buffers hold the values of the filter last applied.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classlib/field_pairs.h"
#include "classlib/relation_manager.h"
#include "runtime/data/view/view.h"

namespace cinevo::classlib {

enum RangeKind : uint8_t {
  kRangeNone = 0,
  kRangeFixed = 1,
  kRangeCurrent = 2,
  kRangeRange = 3,
  kRangeFile = 4,
};

// Message ids the view manager raises.
namespace msg {
inline constexpr uint16_t kViewOpenError = 40;
}  // namespace msg

struct SortOrder {
  virtual ~SortOrder() = default;
  std::vector<std::string> filter;  // extra filter expressions, each ANDed in parentheses
  int freeElement = -1;             // 0-based field of the first component the range leaves free
  RangeKind limitType = kRangeNone;
  int mainKey = -1;                 // 0-based key of the primary file; -1 none
  std::string order;                // the order text
  std::unique_ptr<BufferedPairs> rangeList;
  // How each pair's `right` value reads (its field declaration, for type and size).
  std::vector<const FieldDeclaration*> rightFields;
  // The storage of `right` values that are the manager's own (Fixed, Current, Range).
  std::vector<std::vector<uint8_t>> ownedValues;
};

class ViewManager {
 public:
  ViewManager() = default;
  virtual ~ViewManager() = default;
  ViewManager(const ViewManager&) = delete;
  ViewManager& operator=(const ViewManager&) = delete;

  // Paging parameters handed to the VIEW (defaults as Init sets them).
  uint16_t pagesAhead = 0;
  uint16_t pagesBehind = 2;
  uint16_t pageSize = 20;
  uint16_t timeout = 60;

  void Init(View& view, RelationManager& primary);

  // --- The overridable operations ---------------------------------------------------------------
  virtual std::string GetFreeElementName();
  virtual int GetFreeElementPosition();
  virtual void Kill();
  virtual int Next();
  virtual int Previous();
  virtual void PrimeRecord(bool keepBuffer = false);
  // Opens the VIEW if needed; then the next read starts at the first (last) row of the ordered
  // set, or for n > 0 after its first n - 1 rows.
  virtual int Reset(int n = 0);
  virtual int ResetToStart() { return Reset(0); }
  // Makes order n current (0 counts as 1); 1 when the current order changed, else 0.
  virtual int SetSort(int n);
  // Called for every record read: 0 accept, 1 skip it and read on, anything else ends the read.
  virtual int ValidateRecord() { return 0; }

  // --- Set-up -------------------------------------------------------------------------------------
  int UseFiles();
  void Open();
  // A new sort order on `key` (0-based; -1 none), made current; returns its number (1-based).
  int AddSortOrder(int key);
  // The current order's range: the key components equal the linking fields of `related`'s
  // current record (`manager` is the primary file's side of the relation).
  void AddRelationRange(RelationManager& manager, RelationManager& related);
  // Fixed or Current: component i equals the value of sources[i]; Range: components 1..n-2 equal
  // sources 1..n-2, and component n-1 lies between sources[n-2] and sources[n-1]. Each source is
  // a variable laid out as its key component's field.
  void AddRange(RangeKind kind, std::vector<std::span<uint8_t>> sources);
  void AddFilter(std::string expression);
  void SetOrderText(std::string_view text);
  void SetKeyOrder();

  // Positions the VIEW so that the next Next reads the first row (in the current order) whose
  // free key element is at or after `value` (compared as the key compares it); 5 when there is
  // none (the VIEW then starts from its first row).
  int PositionAtValue(std::string_view value);
  // The free key element of the primary file's current record, as text ("" when none).
  std::string FreeElementText();

  // --- The texts ----------------------------------------------------------------------------------
  void ApplyOrder();
  void ApplyFilter();
  // Rebuilds the filter when the value a range follows changed; 1 when it did, else 0.
  int RefreshRange();
  std::string FilterText() const;
  std::string LimitValueText(int pair) const;  // 1-based pair of the current order
  // The order text of `key` from component `first` on ("UPPER(field)" for NOCASE strings).
  std::string KeyOrderText(int key, int first) const;

  // --- State ----------------------------------------------------------------------------------------
  bool Opened() const { return opened_; }
  View& view() const { return *view_; }
  RelationManager& primary() const { return *primary_; }
  SortOrder& CurrentOrder() const { return *orders_[current_]; }
  int CurrentNumber() const { return orders_.empty() ? 0 : static_cast<int>(current_) + 1; }
  size_t OrderCount() const { return orders_.size(); }
  SortOrder& Order(int n) const { return *orders_[static_cast<size_t>(n - 1)]; }

 protected:
  // A derived manager with a larger sort-order record makes its own.
  virtual std::unique_ptr<SortOrder> MakeSortOrder() { return std::make_unique<SortOrder>(); }
  // The reads behind Next and Previous.
  int Read(bool forward);

 private:
  std::string ComponentName(int i) const;  // 1-based component of the current order's key

  View* view_ = nullptr;
  RelationManager* primary_ = nullptr;
  std::vector<std::unique_ptr<SortOrder>> orders_;
  size_t current_ = 0;
  bool opened_ = false;
};

// Clears the record buffer of `file` (blanks and zeros).
void ClearRecordBuffer(FileControlBlock& file);

}  // namespace cinevo::classlib
