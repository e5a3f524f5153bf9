#include "platform/media/player_prefetch.h"

#include <QThread>

#include <algorithm>
#include <system_error>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {

PlayerPrefetch::~PlayerPrefetch() {
  Clear();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : helpers_) t.join();
}

void PlayerPrefetch::Prepare(const std::vector<std::string>& files, const MpvPlayerOptions& options) {
  Clear();
  if (files.empty()) return;
  // Helpers may not touch the process's locale; the engine's must be in place before they start.
  MpvPlayer::SetEngineLocale();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    owner_ = QThread::currentThread();
    for (const std::string& file : files) {
      auto job = std::make_unique<Job>();
      job->file = file;
      job->options = options;
      jobs_.push_back(std::move(job));
    }
  }
  while (helpers_.size() < static_cast<size_t>(kHelpers)) {
    try {
      helpers_.emplace_back([this] { HelperLoop(); });
    } catch (const std::system_error&) {
      break;  // fewer helpers; with none, Take drops every job and the owner makes its own
    }
  }
  changed_.notify_all();
}

PlayerPrefetch::Job* PlayerPrefetch::NextJob(std::unique_lock<std::mutex>& lock) {
  Job* next = nullptr;
  changed_.wait(lock, [this, &next] {
    if (stop_) return true;
    int made = running_;
    next = nullptr;
    for (const auto& job : jobs_) {
      if (job->done) ++made;
      else if (!job->running && next == nullptr) next = job.get();
    }
    return next != nullptr && made < kAhead;
  });
  return stop_ ? nullptr : next;
}

void PlayerPrefetch::HelperLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    Job* job = NextJob(lock);
    if (job == nullptr) return;
    job->running = true;
    ++running_;
    const std::string file = job->file;
    const MpvPlayerOptions options = job->options;
    QThread* owner = owner_;
    lock.unlock();

    std::unique_ptr<MpvPlayer> player = MpvPlayer::CreateFor(owner, options);
    // A load that could not even be started is left to the owner, which loads it again itself.
    bool loading = player != nullptr && player->StartLoad(file) == kMediaOk;

    lock.lock();
    // The job is still there: the owner removes running jobs only after they are done.
    job->player = std::move(player);
    job->loading = loading;
    job->running = false;
    job->done = true;
    --running_;
    changed_.notify_all();
  }
}

std::unique_ptr<MpvPlayer> PlayerPrefetch::Take(const std::string& file,
                                               const MpvPlayerOptions& options) {
  std::vector<std::unique_ptr<MpvPlayer>> dropped;  // freed after the lock is let go
  std::unique_ptr<MpvPlayer> player;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    auto same = [&](const std::unique_ptr<Job>& j) { return j->file == file && j->options == options; };
    auto it = std::find_if(jobs_.begin(), jobs_.end(), same);
    if (it == jobs_.end()) return nullptr;
    Job* job = it->get();
    if (!job->running && !job->done) {
      jobs_.erase(it);
      changed_.notify_all();
      return nullptr;
    }
    changed_.wait(lock, [job] { return job->done; });
    if (job->loading) player = std::move(job->player);
    else dropped.push_back(std::move(job->player));
    // The files before this one were passed by: their players go, so that the helpers can
    // work further ahead. Running ones stay until a later Take or Clear finds them done.
    size_t taken = static_cast<size_t>(std::find_if(jobs_.begin(), jobs_.end(), [job](const auto& j) {
                                         return j.get() == job;
                                       }) - jobs_.begin());
    std::deque<std::unique_ptr<Job>> kept;
    for (size_t i = 0; i < jobs_.size(); ++i) {
      std::unique_ptr<Job>& j = jobs_[i];
      if (i <= taken && !j->running) {
        if (j->player) dropped.push_back(std::move(j->player));
      } else {
        kept.push_back(std::move(j));  // a running job keeps its address: helpers hold it
      }
    }
    jobs_.swap(kept);
    changed_.notify_all();
  }
  return player;
}

void PlayerPrefetch::Clear() {
  std::vector<std::unique_ptr<MpvPlayer>> dropped;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(),
                               [](const auto& j) { return !j->running && !j->done; }),
                jobs_.end());
    changed_.wait(lock, [this] { return running_ == 0; });
    for (auto& job : jobs_) dropped.push_back(std::move(job->player));
    jobs_.clear();
  }
}

size_t PlayerPrefetch::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_.size();
}

size_t PlayerPrefetch::made() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(std::count_if(jobs_.begin(), jobs_.end(), [](const auto& j) { return j->done; }));
}

}  // namespace cinevo::platform
