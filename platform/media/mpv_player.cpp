#include "platform/media/mpv_player.h"

#include <QCoreApplication>
#include <QThread>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/media/mpv_library.h"
#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

constexpr uint64_t kEofReachedId = 1;
constexpr int kMaxSurface = 4096;
// Lengths and positions beyond this (about 3 years) are taken as unknown; in milliseconds or
// frames they still fit the 64-bit reply numbers with room to spare.
constexpr double kMaxSeconds = 1e8;

using Clock = std::chrono::steady_clock;

double Remaining(Clock::time_point deadline) {
  auto left = std::chrono::duration<double>(deadline - Clock::now()).count();
  return std::max(0.0, left);
}

}  // namespace

void MpvPlayer::HandleDeleter::operator()(mpv_handle* h) const { LoadedMpv().mpv_terminate_destroy(h); }
void MpvPlayer::RenderDeleter::operator()(mpv_render_context* r) const { LoadedMpv().mpv_render_context_free(r); }

void MpvPlayer::SetEngineLocale() {
  // The engine refuses to start unless numbers are formatted the C way; a Qt application
  // resets LC_NUMERIC from the environment when it is created.
  std::setlocale(LC_NUMERIC, "C");
}

std::unique_ptr<MpvPlayer> MpvPlayer::Create(const MpvPlayerOptions& options) {
  SetEngineLocale();
  return CreateFor(nullptr, options);
}

std::unique_ptr<MpvPlayer> MpvPlayer::CreateFor(QThread* owner, const MpvPlayerOptions& options) {
  if (MpvLibrary() == nullptr) return nullptr;  // loads it on the first engine
  std::unique_ptr<MpvPlayer> player(new MpvPlayer());
  player->mpv_.reset(LoadedMpv().mpv_create());
  if (!player->mpv_) return nullptr;
  mpv_handle* h = player->mpv_.get();
  auto opt = [h](const char* name, const char* value) { LoadedMpv().mpv_set_option_string(h, name, value); };
  opt("config", "no");
  opt("load-scripts", "no");
  // The built-in scripts each start an interpreter in every engine, about a third of the cost
  // of opening a movie, for overlays and profiles this program never uses.
  opt("load-stats-overlay", "no");
  opt("load-osd-console", "no");
  opt("load-auto-profiles", "no");
  opt("ytdl", "no");
  opt("terminal", "no");
  opt("input-default-bindings", "no");
  opt("input-vo-keyboard", "no");
  opt("osc", "no");
  opt("osd-level", "0");
  opt("sub-auto", "no");
  opt("audio-file-auto", "no");
  opt("load-unsafe-playlists", "no");
  opt("idle", "yes");
  opt("hwdec", "no");
  opt("vd-lavc-threads", "1");
  opt("cache", "no");
  opt("demuxer-max-bytes", "4MiB");
  opt("demuxer-max-back-bytes", "1MiB");
  opt("sw-fast", "yes");
  opt("audio-fallback-to-null", "yes");
  opt("keep-open", options.keep_open ? "yes" : "no");
  // Files load paused, so that what is read about them at load time is still there.
  opt("pause", "yes");
  opt("vo", options.render_video && options.video ? "libmpv" : "null");
  if (!options.video) opt("vid", "no");
  // Sound goes to the system's sound server or the sound card, else nowhere: other outputs
  // the engine could fall back to have been seen to hang when closed without a sound card.
  opt("ao", options.audio_output ? "pipewire,pulse,alsa" : "null");
  if (LoadedMpv().mpv_initialize(h) < 0) return nullptr;

  if (options.render_video && options.video) {
    char api_type[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, api_type},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* rc = nullptr;
    if (LoadedMpv().mpv_render_context_create(&rc, h, params) < 0) return nullptr;
    player->render_.reset(rc);
  }
  LoadedMpv().mpv_observe_property(h, kEofReachedId, "eof-reached", MPV_FORMAT_FLAG);
  if (player->render_) {
    // It waits until it is woken, which nothing does before the callbacks below are set.
    try {
      player->render_thread_ = std::thread([p = player.get()] { p->RenderLoop(); });
    } catch (const std::system_error&) {
      return nullptr;
    }
  }

  // Nothing below fails. The player moves to its owner before any callback can post it a call.
  player->post_calls_ = QCoreApplication::instance() != nullptr;
  if (owner != nullptr && owner != player->thread()) player->moveToThread(owner);
  if (player->post_calls_) LoadedMpv().mpv_set_wakeup_callback(h, &MpvPlayer::OnWakeup, player.get());
  if (player->render_) {
    LoadedMpv().mpv_render_context_set_update_callback(player->render_.get(), &MpvPlayer::OnRenderUpdate,
                                           player.get());
  }
  return player;
}

MpvPlayer::~MpvPlayer() {
  // After these calls return the engine makes no further callbacks into this object.
  if (mpv_) LoadedMpv().mpv_set_wakeup_callback(mpv_.get(), nullptr, nullptr);
  if (render_thread_.joinable()) {
    // Unload the file while the render thread still serves frames: the video output may be
    // waiting for the frame it just queued to be rendered, and freeing the render context
    // would wait for it.
    const char* stop[] = {"stop", nullptr};
    LoadedMpv().mpv_command_async(mpv_.get(), 0, stop);
    auto deadline = Clock::now() + std::chrono::milliseconds(500);
    for (;;) {
      double left = Remaining(deadline);
      if (left <= 0) break;
      mpv_event* e = LoadedMpv().mpv_wait_event(mpv_.get(), left);
      if (e->event_id == MPV_EVENT_IDLE || e->event_id == MPV_EVENT_SHUTDOWN) break;
    }
  }
  if (render_) LoadedMpv().mpv_render_context_set_update_callback(render_.get(), nullptr, nullptr);
  if (render_thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_render_ = true;
    }
    wake_render_.notify_one();
    render_thread_.join();
  }
  render_.reset();
  mpv_.reset();
}

void MpvPlayer::OnWakeup(void* self) {
  auto* p = static_cast<MpvPlayer*>(self);
  if (p->wakeup_posted_.exchange(true)) return;
  QMetaObject::invokeMethod(p, [p] {
    p->wakeup_posted_ = false;
    p->DrainEvents();
  }, Qt::QueuedConnection);
}

void MpvPlayer::OnRenderUpdate(void* self) {
  // Called on an engine thread, which must not be kept waiting: only the render thread is woken.
  auto* p = static_cast<MpvPlayer*>(self);
  {
    std::lock_guard<std::mutex> lock(p->mutex_);
    p->update_pending_ = true;
  }
  p->wake_render_.notify_one();
}

int MpvPlayer::Load(const std::string& path, int timeout_ms) {
  int rc = StartLoad(path);
  return rc != kMediaOk ? rc : FinishLoad(timeout_ms);
}

int MpvPlayer::StartLoad(const std::string& path) {
  // Touches no member but the engine handle: the owner may already be handling this player's
  // events.
  const char* cmd[] = {"loadfile", path.c_str(), nullptr};
  return LoadedMpv().mpv_command(mpv_.get(), cmd) < 0 ? kMediaCannotPlay : kMediaOk;
}

int MpvPlayer::FinishLoad(int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!loaded_ && !failed_) {
    double left = Remaining(deadline);
    if (left <= 0) break;
    mpv_event* e = LoadedMpv().mpv_wait_event(mpv_.get(), left);
    if (e->event_id != MPV_EVENT_NONE) HandleEvent(*e);
  }
  if (!loaded_ || failed_) return kMediaCannotPlay;
  if (!info_.has_audio && !info_.has_video) return kMediaCannotPlay;
  if (render_ && info_.has_video) SetRenderSize(QSize(info_.width, info_.height));
  return kMediaOk;
}

bool MpvPlayer::WaitForEnd(int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!ended_ && !failed_) {
    double left = Remaining(deadline);
    if (left <= 0) return false;
    mpv_event* e = LoadedMpv().mpv_wait_event(mpv_.get(), left);
    if (e->event_id != MPV_EVENT_NONE) HandleEvent(*e);
  }
  return !failed_;
}

void MpvPlayer::DrainEvents() {
  if (!mpv_) return;
  for (;;) {
    mpv_event* e = LoadedMpv().mpv_wait_event(mpv_.get(), 0);
    if (e->event_id == MPV_EVENT_NONE) break;
    HandleEvent(*e);
  }
  TakeFrame();
}

void MpvPlayer::HandleEvent(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_FILE_LOADED:
      loaded_ = true;
      ReadFileInfo();
      break;
    case MPV_EVENT_END_FILE: {
      auto* end = static_cast<const mpv_event_end_file*>(event.data);
      // A file that turns out to be a play list is refused rather than followed.
      if (end->reason == MPV_END_FILE_REASON_ERROR || end->reason == MPV_END_FILE_REASON_REDIRECT) {
        failed_ = true;
      } else {
        ended_ = true;
      }
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
      auto* prop = static_cast<const mpv_event_property*>(event.data);
      if (event.reply_userdata == kEofReachedId && prop->format == MPV_FORMAT_FLAG) {
        at_end_ = *static_cast<const int*>(prop->data) != 0;
      }
      break;
    }
    default:
      break;
  }
}

void MpvPlayer::ReadFileInfo() {
  info_ = MediaFileInfo{};
  double duration = 0;
  // A damaged file may claim any length; keep it to what the reply numbers can hold.
  if (LoadedMpv().mpv_get_property(mpv_.get(), "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 &&
      duration >= 0 && duration < kMaxSeconds) {
    info_.duration = duration;
  }
  mpv_node list{};
  if (LoadedMpv().mpv_get_property(mpv_.get(), "track-list", MPV_FORMAT_NODE, &list) < 0) return;
  if (list.format == MPV_FORMAT_NODE_ARRAY) {
    for (int i = 0; i < list.u.list->num; ++i) {
      const mpv_node& track = list.u.list->values[i];
      if (track.format != MPV_FORMAT_NODE_MAP) continue;
      std::string type;
      bool albumart = false;
      int64_t w = 0, h = 0;
      double fps = 0;
      const mpv_node_list* m = track.u.list;
      for (int k = 0; k < m->num; ++k) {
        const char* key = m->keys[k];
        const mpv_node& v = m->values[k];
        if (!std::strcmp(key, "type") && v.format == MPV_FORMAT_STRING) type = v.u.string;
        else if (!std::strcmp(key, "albumart") && v.format == MPV_FORMAT_FLAG) albumart = v.u.flag;
        else if (!std::strcmp(key, "demux-w") && v.format == MPV_FORMAT_INT64) w = v.u.int64;
        else if (!std::strcmp(key, "demux-h") && v.format == MPV_FORMAT_INT64) h = v.u.int64;
        else if (!std::strcmp(key, "demux-fps") && v.format == MPV_FORMAT_DOUBLE) fps = v.u.double_;
      }
      if (type == "audio") info_.has_audio = true;
      if (type == "video" && !albumart && !info_.has_video) {
        info_.has_video = true;
        info_.width = static_cast<int>(std::clamp<int64_t>(w, 0, kMaxSurface));
        info_.height = static_cast<int>(std::clamp<int64_t>(h, 0, kMaxSurface));
        info_.fps = fps > 0 && fps < 1000 ? fps : 0;
      }
    }
  }
  LoadedMpv().mpv_free_node_contents(&list);
  if (info_.has_video && info_.fps == 0) {
    double fps = 0;
    if (LoadedMpv().mpv_get_property(mpv_.get(), "container-fps", MPV_FORMAT_DOUBLE, &fps) >= 0 && fps > 0 &&
        fps < 1000) {
      info_.fps = fps;
    }
  }
}

void MpvPlayer::SetPaused(bool paused) {
  // Asynchronous: a synchronous set waits for the playback core, which may be busy starting
  // its outputs for a good part of a second.
  int flag = paused ? 1 : 0;
  LoadedMpv().mpv_set_property_async(mpv_.get(), 0, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvPlayer::SeekTo(double seconds) {
  std::string target = std::to_string(std::max(0.0, seconds));
  const char* cmd[] = {"seek", target.c_str(), "absolute+exact", nullptr};
  LoadedMpv().mpv_command_async(mpv_.get(), 0, cmd);
  at_end_ = false;
}

double MpvPlayer::Position() const {
  double pos = 0;
  if (LoadedMpv().mpv_get_property(mpv_.get(), "time-pos", MPV_FORMAT_DOUBLE, &pos) < 0) return 0;
  if (!(pos >= 0 && pos < kMaxSeconds)) return 0;  // also false for NaN
  return pos;
}

void MpvPlayer::SetRenderSize(QSize size) {
  size = size.boundedTo(QSize(kMaxSurface, kMaxSurface)).expandedTo(QSize(1, 1));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (size == render_size_) return;
    render_size_ = size;
    resize_pending_ = true;
  }
  wake_render_.notify_one();
}

void MpvPlayer::RenderLoop() {
  bool have_frame = false;  // the engine has a current frame that a resize can redraw
  int64_t number = 0;       // the video frame last rendered
  for (;;) {
    QSize size;
    bool resized = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_render_.wait(lock, [this] { return stop_render_ || update_pending_ || resize_pending_; });
      if (stop_render_) return;
      update_pending_ = false;
      std::swap(resized, resize_pending_);
      size = render_size_;
    }
    uint64_t flags = LoadedMpv().mpv_render_context_update(render_.get());
    bool new_frame = (flags & MPV_RENDER_UPDATE_FRAME) != 0;
    if (!new_frame && !(resized && have_frame)) continue;
    // This waits until the frame's display time, which is why it happens on this thread.
    Surface& surface = surfaces_[back_];
    bool rendered = RenderInto(surface, size);
    if (new_frame) {
      number = frames_rendered_.fetch_add(1, std::memory_order_relaxed) + 1;
      have_frame = true;
    }
    if (!rendered) continue;
    surface.number = number;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      std::swap(back_, ready_);
      ready_fresh_ = true;
    }
    if (post_calls_ && !frame_posted_.exchange(true)) {
      QMetaObject::invokeMethod(this, [this] {
        frame_posted_ = false;
        TakeFrame();
      }, Qt::QueuedConnection);
    }
  }
}

bool MpvPlayer::RenderInto(Surface& surface, QSize size) {
  if (size.isEmpty()) {
    // No size yet (the file is still loading): the frame is taken so that the engine goes on,
    // and is drawn once the size is known.
    int skip = 1;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    LoadedMpv().mpv_render_context_render(render_.get(), params);
    return false;
  }
  const int w = size.width();
  const int h = size.height();
  size_t stride = (static_cast<size_t>(w) * 4 + 63) / 64 * 64;
  size_t needed = stride * static_cast<size_t>(h) + 64;
  if (needed > surface.capacity) {
    surface.block = std::make_unique<unsigned char[]>(needed);
    surface.capacity = needed;
  }
  auto base = reinterpret_cast<uintptr_t>(surface.block.get());
  surface.pixels = reinterpret_cast<unsigned char*>((base + 63) & ~uintptr_t{63});
  surface.size = size;
  surface.stride = stride;

  int sw_size[2] = {w, h};
  char format[] = "bgr0";  // byte order of QImage::Format_RGB32 on a little-endian machine
  mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, sw_size},
                               {MPV_RENDER_PARAM_SW_FORMAT, format},
                               {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                               {MPV_RENDER_PARAM_SW_POINTER, surface.pixels},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (LoadedMpv().mpv_render_context_render(render_.get(), params) < 0) return false;
  // The engine leaves the fourth byte of each pixel undefined (in practice 0), while an RGB32
  // image must hold 0xFF there: drawn into a window surface that has an alpha channel (Wayland)
  // the picture would otherwise come out transparent. X11's surfaces happen to ignore it.
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(surface.pixels + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x) row[x] |= 0xFF000000u;
  }
  return true;
}

void MpvPlayer::TakeFrame() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ready_fresh_) return;
    std::swap(front_, ready_);
    ready_fresh_ = false;
    // Built under the lock: from the moment it is unlocked the old front surface may be
    // rendered into again.
    const Surface& s = surfaces_[front_];
    frame_ = QImage(s.pixels, s.size.width(), s.size.height(), static_cast<qsizetype>(s.stride),
                    QImage::Format_RGB32);
    frame_number_ = s.number;
  }
  emit frameRendered();
}

}  // namespace cinevo::platform
