// One playback engine instance (libmpv) with its optional software video renderer.
//
// Threading: a player lives on the thread that created it (the GUI thread when there is one) and
// every call comes from that thread. The engine's own threads only ever wake that thread: the
// wakeup and render-update callbacks post a queued call (once per batch) and never touch state.
// Without a Qt application nothing is posted; events are then drained by DrainEvents(), which
// the owner calls before it answers any command.
//
// Invariants: the render context exists before any file is loaded and is freed before the
// engine; callbacks are unset before either is freed, so no queued call outlives the player
// (queued calls are bound to this QObject and are dropped with it).
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct mpv_handle;
struct mpv_render_context;
struct mpv_event;

namespace cinevo::platform {

struct MpvPlayerOptions {
  bool render_video = false;  // video through the software render API; else no video output
  bool audio_output = false;  // a real audio device; else the null output (timing stays real)
  bool video = true;          // false: no video track is decoded at all (sounds)
  bool keep_open = true;      // stay paused on the last frame at the end instead of unloading
};

// What the engine learnt about a loaded file.
struct MediaFileInfo {
  double duration = 0;  // seconds
  double fps = 0;       // frames per second of the video track, 0 without video
  int width = 0;        // native video size, 0 without video
  int height = 0;
  bool has_audio = false;
  bool has_video = false;
};

class MpvPlayer : public QObject {
  Q_OBJECT
 public:
  // Starts an engine; nullptr when libmpv cannot be started.
  static std::unique_ptr<MpvPlayer> Create(const MpvPlayerOptions& options);
  ~MpvPlayer() override;

  MpvPlayer(const MpvPlayer&) = delete;
  MpvPlayer& operator=(const MpvPlayer&) = delete;

  // Loads an existing file (absolute path) and waits at most `timeout_ms` until it is ready;
  // the file is then paused at its start.
  // Returns kMediaOk, or kMediaCannotPlay when the file cannot be decoded (or has neither audio
  // nor video, or does not get ready in time).
  int Load(const std::string& path, int timeout_ms);

  // Waits until the loaded file has played to its end or failed; false after `timeout_ms`.
  // Only for players created without keep_open.
  bool WaitForEnd(int timeout_ms);

  const MediaFileInfo& info() const { return info_; }
  bool loaded() const { return loaded_; }
  bool failed() const { return failed_; }
  // The engine reports the end of the file (kept open, paused on the last frame).
  bool at_end() const { return at_end_; }

  void SetPaused(bool paused);
  // Seeks exactly to `seconds` from the start; clears the end state.
  void SeekTo(double seconds);
  double Position() const;  // seconds from the start, 0 when unknown

  // Handles every pending engine event without blocking.
  void DrainEvents();

  // Software rendering: the size of the surface frames are rendered to (clamped to 4096x4096).
  bool renders_video() const { return render_ != nullptr; }
  void SetRenderSize(QSize size);
  // The last rendered frame (null image before the first one). Valid until the next render.
  const QImage& frame() const { return frame_; }
  int64_t frames_rendered() const { return frames_rendered_; }

 signals:
  void frameRendered();

 private:
  MpvPlayer() = default;
  void HandleEvent(const mpv_event& event);
  void ReadFileInfo();
  void RenderIfDue(bool force);
  static void OnWakeup(void* self);
  static void OnRenderUpdate(void* self);

  struct HandleDeleter {
    void operator()(mpv_handle* h) const;
  };
  struct RenderDeleter {
    void operator()(mpv_render_context* r) const;
  };
  std::unique_ptr<mpv_handle, HandleDeleter> mpv_;
  std::unique_ptr<mpv_render_context, RenderDeleter> render_;  // declared after mpv_: freed first

  std::atomic<bool> wakeup_posted_{false};
  std::atomic<bool> render_posted_{false};
  bool post_calls_ = false;  // a Qt application exists to deliver queued calls

  MediaFileInfo info_;
  bool loaded_ = false;
  bool failed_ = false;
  bool ended_ = false;
  bool at_end_ = false;

  QSize render_size_;
  std::unique_ptr<unsigned char[]> pixels_;  // 64-byte aligned surface inside this block
  size_t pixels_capacity_ = 0;
  QImage frame_;
  int64_t frames_rendered_ = 0;
};

}  // namespace cinevo::platform
