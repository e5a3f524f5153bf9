// The relation manager: stands beside each file manager and knows the file's relations.
//
// For a parent file it knows the child files whose records refer to it through linking fields,
// and what happens to those records when the parent's linking fields change (the update action)
// or the parent is deleted (the delete action): nothing, the children's links are cleared, the
// change is refused while children exist, or the children follow (Cascade). For a child file it
// knows the parents. Procedures change and delete records through it, so referential integrity
// holds; when the driver offers transactions, the whole change (parent and every child touched)
// is one transaction, committed at the end or rolled back on any failure, so a crash or a
// failure leaves all of it or none of it.
//
// It also opens and closes a file together with every related file (use counts stay balanced:
// every Update and Delete opens all on entry and closes all on every way out), and switches the
// driver's quick-scan mode for a group of related files. A recursive pass over the relations
// marks each manager with the pass number (TouchCounter) so the two directions of a relation do
// not loop.
//
// Results are ErrorLevels: 0 success, 5 failure, 1 for an update refused because another station
// changed the record.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "classlib/field_pairs.h"
#include "classlib/file_manager.h"

namespace cinevo::classlib {

enum LinkAction : uint8_t {
  kLinkNone = 0,
  kLinkClear = 1,     // the children's linking fields are blanked and the children written
  kLinkRestrict = 2,  // refused while children exist
  kLinkCascade = 3,   // children take the new values / are deleted, recursively
};

class RelationManager;

struct RelationEntry {
  RelationManager* file = nullptr;        // the related file's manager
  std::unique_ptr<FieldPairs> fields;     // linking fields (children only)
  int hisKey = -1;                        // the child's key led by the linking fields; -1 none
  uint8_t updateMode = kLinkNone;
  uint8_t deleteMode = kLinkNone;
  bool IsChild() const { return hisKey >= 0 && fields != nullptr; }
};

// The pass counter of recursive passes; starts at 1 and only grows.
long TouchCounter();

class RelationManager {
 public:
  RelationManager() = default;
  virtual ~RelationManager() = default;
  RelationManager(const RelationManager&) = delete;
  RelationManager& operator=(const RelationManager&) = delete;

  void Init(FileManager& file, bool useLogout);
  // A relation to a parent (no key, no fields, no actions).
  void AddRelation(RelationManager& related);
  // A relation to children reached through key `hisKey` (0-based) of the related file.
  void AddRelation(RelationManager& related, LinkAction update, LinkAction del, int hisKey);
  // A linking pair of the last relation added: a field of this file's record and the field of
  // the related file's record it links to, each taken as a string of its size.
  void AddRelationLink(std::span<uint8_t> myField, std::span<uint8_t> hisField);

  virtual int CancelAutoInc();
  virtual int CloseAll(bool recursing = false);
  // Deletes the current record with its children as the relations say; asks "Confirm Delete"
  // first when `ask`, and offers to try again after a failure.
  virtual int Delete(bool ask = true);
  virtual int DeleteChildren(int key, FieldPairs& pairs, int action);
  // Releases the relations and kills the file manager.
  virtual void Kill();
  virtual int OpenAll(bool recursing = false);
  // Remembers the current linking values (call after reading a record that may change).
  virtual void SaveLinks();
  // propagate: 0 this file only, 1 parents, 2 children, any other value all related files.
  virtual void SetQuickScan(bool on, int propagate = 0);
  // Writes this file's changed record, children following as the relations say.
  virtual int Update(bool ditto = false);
  virtual int UpdateChildren(int key, FieldPairs& pairs, int action);

  int UpdateSecondary();
  int JoinTransaction();
  // Hands the linking pairs towards `related` to `receiver`: (right, left) normally, (left,
  // right) when `reversed`. A relation to a parent asks the parent for its pairs, reversed.
  void ListLinkingFields(RelationManager& related, FieldPairs& receiver, bool reversed = false);

  FileManager& Me() const { return *me_; }
  bool UseLogout() const { return useLogout_; }
  void SetUseLogout(bool on) { useLogout_ = on; }
  const std::vector<RelationEntry>& Relations() const { return relations_; }

 private:
  enum class JoinFor { kUpdate, kDelete, kDeleteCascadeOnly };
  int Join(JoinFor what, std::vector<RelationManager*>& seen);
  int BeginTransaction(JoinFor what);
  void RollbackIfUsed();
  void CommitIfUsed();
  void PositionChildren(int key, FieldPairs& pairs, bool oldValues);
  bool NextChild(int& result);

  FileManager* me_ = nullptr;
  std::vector<RelationEntry> relations_;
  bool useLogout_ = false;
  long lastTouched_ = 0;
};

}  // namespace cinevo::classlib
