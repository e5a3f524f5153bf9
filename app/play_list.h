// The play list: one entry per movie that was opened and started, in the order they were opened.
//
// Each entry is one blank-padded text of kEntrySize bytes (the queue's only field): the movie's
// upper-case path, " , " and the mode the media service last reported for it, for example
// "/MOVIES/A.AVI , playing". A path may itself hold commas, even " , ", so the path of an entry is
// everything before the LAST " , "; an entry whose mode came back empty ends in " ," and its
// path is everything before that. Mode words never hold a comma.
//
// The entries live in a runtime queue, so the list control of the play-list window shows them
// straight from it (Queue()).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/queue.h"

namespace cinevo::app {

// Bytes of one entry.
inline constexpr size_t kEntrySize = 255;
// The longest path an entry keeps whole together with its " , " separator.
inline constexpr size_t kMaxEntryPath = kEntrySize - 3;

// The path part of an entry text (see above), clipped of trailing blanks.
std::string EntryPath(std::string_view entry);
// The entry text for `path` and `mode`: both clipped, joined by " , ", clipped again (an empty
// mode leaves "path ,") and cut to kEntrySize bytes.
std::string MakeEntry(std::string_view path, std::string_view mode);

// Text helpers shared by the player's routines. Case changes touch ASCII letters only, so a
// path in UTF-8 keeps its other bytes.
std::string Clip(std::string_view text);  // without trailing blanks
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

class PlayList {
 public:
  PlayList();
  PlayList(const PlayList&) = delete;
  PlayList& operator=(const PlayList&) = delete;

  int32_t Count();
  bool Empty() { return Count() == 0; }
  // The entry at 1-based `position`, clipped; empty when there is none.
  std::string Get(int32_t position);
  // The path of the entry at `position` (EntryPath of Get).
  std::string PathAt(int32_t position);
  void Append(std::string_view entry);
  void Put(int32_t position, std::string_view entry);
  void Delete(int32_t position);
  void Clear();
  // The position of the first entry whose path equals `path` exactly, 0 when none has.
  int32_t FindPath(std::string_view path);

  // The runtime queue behind the list (its record is the entry text), for list controls.
  Queue& queue() { return queue_; }

 private:
  std::array<char, kEntrySize> record_{};  // the queue's record buffer
  Queue queue_;
};

}  // namespace cinevo::app
