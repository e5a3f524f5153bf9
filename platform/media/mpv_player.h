// One playback engine instance (libmpv) with its optional software video renderer.
//
// Threading: a player lives on its owner's thread (the GUI thread when there is one) and every
// call comes from that thread. The owner is the thread that created it, or the one named to
// CreateFor when a helper thread made it ahead of time (starting an engine takes tens of
// milliseconds, which the owner need not wait for). The engine's own threads only ever wake that thread: the
// wakeup callback posts a queued call (once per batch) and never touches state. Without a Qt
// application nothing is posted; events are then drained by DrainEvents(), which the owner
// calls before it answers any command.
//
// Video is rendered on a thread of the player's own, never on the owner's: the engine holds each
// render until the frame's display time, and a GUI thread waiting there would stop painting and
// handling input. The render thread renders into one of three surfaces and hands finished ones
// over; the owner's thread takes the newest when it is told one is ready (or in DrainEvents)
// and paints it while the next is being rendered.
//
// Invariants:
//  1. The render context exists before any file is loaded and is freed before the engine; the
//     render thread is joined before the render context is freed, and it is the only thread
//     that calls the render functions.
//  2. back_, ready_ and front_ are always the three surface indices 0, 1 and 2 in some order.
//     Only the render thread writes into surface back_ and changes back_; only the owner's
//     thread reads surface front_ and changes front_; ready_ changes under mutex_ only.
//  3. Callbacks are unset before the render context or the engine is freed, so no queued call
//     outlives the player (queued calls are bound to this QObject and are dropped with it).
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QThread;
struct mpv_handle;
struct mpv_render_context;
struct mpv_event;

namespace cinevo::platform {

struct MpvPlayerOptions {
  bool render_video = false;  // video through the software render API; else no video output
  bool audio_output = false;  // a real audio device; else the null output (timing stays real)
  bool video = true;          // false: no video track is decoded at all (sounds)
  bool keep_open = true;      // stay paused on the last frame at the end instead of unloading

  bool operator==(const MpvPlayerOptions&) const = default;
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
  // Starts an engine; nullptr when libmpv cannot be started. The player belongs to the calling
  // thread.
  static std::unique_ptr<MpvPlayer> Create(const MpvPlayerOptions& options);
  // The same on a helper thread for a player that is to belong to `owner` (the thread that owns
  // the Qt application): its queued calls go there, and from the moment this returns only
  // `owner` may use or destroy it. The owner must have set the C numeric locale beforehand
  // (SetEngineLocale), which a helper thread must not change.
  static std::unique_ptr<MpvPlayer> CreateFor(QThread* owner, const MpvPlayerOptions& options);
  // The numeric locale the engine needs; Create sets it itself.
  static void SetEngineLocale();
  ~MpvPlayer() override;

  MpvPlayer(const MpvPlayer&) = delete;
  MpvPlayer& operator=(const MpvPlayer&) = delete;

  // Loads an existing file (absolute path) and waits at most `timeout_ms` until it is ready;
  // the file is then paused at its start.
  // Returns kMediaOk, or kMediaCannotPlay when the file cannot be decoded (or has neither audio
  // nor video, or does not get ready in time).
  int Load(const std::string& path, int timeout_ms);
  // Load in two halves: StartLoad hands the file to the engine and returns at once (it may be
  // called by the thread that made the player with CreateFor, before handing it over); the
  // owner's FinishLoad then waits for the result as Load does.
  int StartLoad(const std::string& path);
  int FinishLoad(int timeout_ms);

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

  // Handles every pending engine event and takes a finished frame, without blocking.
  void DrainEvents();

  // Software rendering: the size of the surface frames are rendered to (clamped to 4096x4096).
  bool renders_video() const { return render_ != nullptr; }
  void SetRenderSize(QSize size);
  // The newest frame handed to the owner's thread (null image before the first one). Valid
  // until the next frame is taken, which happens only on the owner's thread.
  const QImage& frame() const { return frame_; }
  // The number of the video frame in frame(): 0 before the first, then counting new frames
  // (a redraw at another size keeps its number).
  int64_t frame_number() const { return frame_number_; }
  // New frames the render thread has finished so far, whether taken yet or not.
  int64_t frames_rendered() const { return frames_rendered_.load(std::memory_order_relaxed); }

 signals:
  // A new frame (or a redraw) is in frame(); emitted on the owner's thread.
  void frameRendered();

 private:
  // One render target: a 64-byte aligned block of stride * height bytes.
  struct Surface {
    std::unique_ptr<unsigned char[]> block;
    size_t capacity = 0;
    unsigned char* pixels = nullptr;
    QSize size;
    size_t stride = 0;
    int64_t number = 0;  // the video frame in it
  };

  MpvPlayer() = default;
  void HandleEvent(const mpv_event& event);
  void ReadFileInfo();
  // The render thread: renders whenever the engine has a frame or the size changed.
  void RenderLoop();
  // Renders the engine's current frame into `surface` (surface back_); false when nothing was
  // drawn (no size yet, or the engine refused).
  bool RenderInto(Surface& surface, QSize size);
  // Takes the newest finished surface as the frame (owner's thread only).
  void TakeFrame();
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
  std::atomic<bool> frame_posted_{false};
  bool post_calls_ = false;  // a Qt application exists to deliver queued calls

  MediaFileInfo info_;
  bool loaded_ = false;
  bool failed_ = false;
  bool ended_ = false;
  bool at_end_ = false;

  // Shared between the owner's thread, the render thread and the engine's callbacks.
  std::mutex mutex_;
  std::condition_variable wake_render_;
  bool update_pending_ = false;  // the engine has something to render     (guarded by mutex_)
  bool resize_pending_ = false;  // the size changed: redraw the frame      (guarded by mutex_)
  bool stop_render_ = false;     // the render thread is to end             (guarded by mutex_)
  bool ready_fresh_ = false;     // surface ready_ is newer than front_     (guarded by mutex_)
  QSize render_size_;            //                                         (guarded by mutex_)
  Surface surfaces_[3];
  int back_ = 0;
  int ready_ = 1;
  int front_ = 2;
  std::atomic<int64_t> frames_rendered_{0};
  std::thread render_thread_;

  // The owner's thread only.
  QImage frame_;
  int64_t frame_number_ = 0;
};

}  // namespace cinevo::platform
