// Storing the play list as a group of favourites.
//
// The group is named after the date and time of the store: the date through picture "@d5.", a
// blank, the time through picture "@t4". The group record is added first; when that fails (for
// example a second store within the same minute finds the name taken) nothing more is written
// and nothing is shown. Then one movie record per play-list entry, in order, holding the group's
// name, the entry's path in lower case and the path's first 10 characters; a movie whose add
// fails is skipped.
//
// A path is never stored cut: a movie whose path is longer than the movie record's path field is
// left out, and after the store one message names every movie left out and why.
//
// The records are written with direct file operations (no file manager, so no error messages),
// through a FavouritesWriter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/play_list.h"
#include "runtime/data/file_control_block.h"

namespace cinevo::app {

// The most bytes a stored movie path may have.
inline constexpr size_t kStoredPathSize = 120;

// The group name for a standard date and time.
std::string GroupNameFor(int32_t date, int32_t time);

class FavouritesWriter {
 public:
  virtual ~FavouritesWriter() = default;
  // Opens both files for reading and writing, shared; the outcome is not needed (they are
  // normally open already, and a failed open shows in the adds).
  virtual void OpenFiles() = 0;
  // Adds a group record; 0 or the file error code.
  virtual int AddGroup(std::string_view name) = 0;
  // Adds a movie record of group `group` with path `path` (at most kStoredPathSize bytes).
  virtual int AddMovie(std::string_view group, std::string_view path) = 0;
  // A transaction over both files, for stores that must be whole or not at all: the adds between
  // BeginUpdate and CommitUpdate are written together or, after RollbackUpdate, not at all.
  // Each returns 0 or the file error code. Writers without transactions write at once.
  virtual int BeginUpdate() { return 0; }
  virtual int CommitUpdate() { return 0; }
  virtual void RollbackUpdate() {}
};

// The writer over the open control blocks of the group and movie files, whose records have the
// fields GRU:SIFRA and POD:SIFRA, POD:NASLOV, POD:NASLOV2, POD:SFSEL.
class DirectFavouritesWriter final : public FavouritesWriter {
 public:
  DirectFavouritesWriter(FileControlBlock& groups, FileControlBlock& movies)
      : groups_(groups), movies_(movies) {}
  void OpenFiles() override;
  int AddGroup(std::string_view name) override;
  int AddMovie(std::string_view group, std::string_view path) override;
  int BeginUpdate() override;
  int CommitUpdate() override;
  void RollbackUpdate() override;

 private:
  FileControlBlock& groups_;
  FileControlBlock& movies_;
};

struct GroupStoreResult {
  std::string group;                  // the name tried; empty when the play list was empty
  int group_error = 0;                // the group add's error code
  int movies_stored = 0;
  std::vector<std::string> left_out;  // paths (lower case) too long to store
};

// Stores the play list as a group named for `date` and `time` (see above). An empty play list
// does nothing.
GroupStoreResult StorePlayListAsGroup(PlayList& play_list, FavouritesWriter& writer, int32_t date,
                                      int32_t time);

}  // namespace cinevo::app
