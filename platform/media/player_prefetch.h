// Players made ahead of the "open" commands that will need them.
//
// Opening a movie costs two waits: starting an engine (tens of milliseconds) and loading the
// file. When several movies are opened in a row (a drop of files, a group played from the
// favourites) the owner names the files first; helper threads then start an engine for each and
// hand it its file, so that the engines start and the files load side by side while the owner
// goes through the opens one after the other. Take() gives the owner the player made for a file,
// waiting for it if a helper is still at work on it. Nothing about a file is decided here: the
// owner's FinishLoad reports a file that cannot be played exactly as a load of its own would.
//
// Helpers work at most kAhead files ahead of the owner, so a drop of hundreds of files does not
// start hundreds of engines at once. Players not taken stay loaded and paused (no CPU) until the
// next Prepare or Clear.
//
// Threading: Prepare, Take, Clear and the destructor are called on the owner's thread, which
// owns every player this makes. Invariants (under mutex_):
//  1. Each job is queued (not started), running (one helper holds it) or done (its player, or
//     null when the engine would not start, is in the job); running_ counts the running ones.
//  2. A helper touches a job's player only while the job is running; once done, only the owner
//     touches it, and only the owner destroys players.
//  3. running_ + the number of done jobs <= kAhead before a helper starts another job.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/mpv_player.h"

class QThread;

namespace cinevo::platform {

class PlayerPrefetch {
 public:
  static constexpr int kHelpers = 2;  // engines started at once
  static constexpr int kAhead = 8;    // players made but not yet taken, at most

  PlayerPrefetch() = default;
  ~PlayerPrefetch();  // drops every job, ends the helpers and frees the players

  PlayerPrefetch(const PlayerPrefetch&) = delete;
  PlayerPrefetch& operator=(const PlayerPrefetch&) = delete;

  // Drops the jobs of an earlier Prepare and starts on `files` (existing absolute paths, in the
  // order they will be opened), each with `options`. The players are made for the calling
  // thread.
  void Prepare(const std::vector<std::string>& files, const MpvPlayerOptions& options);

  // The player made for `file` with `options`, its load started; waits while a helper is still
  // making it. Null when no job was prepared for it (or its engine did not start): the caller
  // then makes its own. A job not started yet is dropped, since the caller can start it as
  // soon as a helper could.
  std::unique_ptr<MpvPlayer> Take(const std::string& file, const MpvPlayerOptions& options);

  // Drops every job, waits for the running ones to finish and frees their players.
  void Clear();

  // Jobs not taken yet, in any state; and those of them whose player is made.
  size_t pending() const;
  size_t made() const;

 private:
  struct Job {
    std::string file;
    MpvPlayerOptions options;
    bool running = false;
    bool done = false;
    bool loading = false;  // done, and the player's load was started
    std::unique_ptr<MpvPlayer> player;
  };

  void HelperLoop();
  // The first queued job, once the helpers are not too far ahead; null when told to stop.
  Job* NextJob(std::unique_lock<std::mutex>& lock);

  QThread* owner_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Job>> jobs_;  // in the order of the files
  int running_ = 0;
  bool stop_ = false;
  std::vector<std::thread> helpers_;  // started with the first Prepare, idle without jobs
};

}  // namespace cinevo::platform
