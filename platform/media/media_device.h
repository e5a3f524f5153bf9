// One open media device: a file loaded into its own engine, its movie window and its settings.
//
// A device is created by a successful "open" and lives until "close". Its state model:
//   mode     "not ready" until the file is loaded (or after the engine failed), "stopped" after
//            open, stop or the end of the file (the movie stays on its last frame), "playing"
//            after play or resume, "paused" after pause.
//   window   a MovieWindow when video is rendered (a Qt application exists), hidden until
//            "put ... window"; without one the same geometry is kept as plain numbers, so
//            "where" and "put ... at" behave alike with and without a display.
//   time     lengths, positions and "play ... from" are in milliseconds (the default) or in
//            frames of the video track's frame rate.
#pragma once

#include <QPointer>
#include <QRect>

#include <memory>
#include <string>

#include "platform/media/mpv_player.h"
#include "platform/media/player_prefetch.h"
#include "platform/media/movie_window.h"
#include "platform/media_command/media_command.h"

class QWidget;

namespace cinevo::platform {

class MediaDevice {
 public:
  struct Setup {
    std::string name;         // the device name as given in "open"
    std::string file;         // the resolved absolute path
    QWidget* parent = nullptr;
    bool render_video = false;
    bool audio_output = false;
    int load_timeout_ms = 5000;
    PlayerPrefetch* prefetch = nullptr;  // may hold a player made ahead for the file
  };

  // The engine options of a device opened with `setup`.
  static MpvPlayerOptions PlayerOptions(const Setup& setup);

  // Opens the device; kMediaOk and the device in `out`, or kMediaUnavailable / kMediaCannotPlay.
  static int Open(const Setup& setup, std::unique_ptr<MediaDevice>& out);
  ~MediaDevice();  // destroys the movie window and the engine

  MediaDevice(const MediaDevice&) = delete;
  MediaDevice& operator=(const MediaDevice&) = delete;

  const std::string& name() const { return name_; }

  // Carries out any command but open and close; `reply` receives the answer text.
  int Execute(const MediaCommand& command, std::string& reply);

  // Brings the state up to date with the engine (non-blocking).
  void Refresh();

  // For tests and tools: the window (null without a display or video) and the engine.
  MovieWindow* window() const { return window_.data(); }
  MpvPlayer& player() { return *player_; }

 private:
  enum class Intent { kStopped, kPaused, kPlaying };

  MediaDevice() = default;
  std::string Mode() const;
  int64_t ToUnits(double seconds) const;
  int Play(const MediaCommand& command);
  int Put(const MediaCommand& command);
  QRect Geometry() const;  // the movie window's rectangle in its parent's client coordinates

  std::string name_;
  std::string caption_;
  std::unique_ptr<MpvPlayer> player_;
  QPointer<MovieWindow> window_;  // owned by the parent widget when there is one
  QRect geometry_;                // kept when there is no window
  bool frames_ = false;           // time format is frames
  Intent intent_ = Intent::kStopped;
};

}  // namespace cinevo::platform
