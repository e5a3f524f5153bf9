// The media command interface: devices kept by name and driven by command texts.
//
// SendMedia(command, reply, size) is the entry the application uses; it works on one
// process-wide MediaService. A service keeps its devices in the order they were opened and finds
// them by name without regard to ASCII case; "all" addresses every open device (for play, stop,
// pause, resume, put, set and close; queries need one device). All calls come from the thread
// that owns the Qt application (or the only thread when there is none).
//
// Outputs: movie windows and rendered video need a QApplication; sound goes to a real audio
// device only when a display platform is in use. Without them (tests, headless tools) video and
// audio go to null outputs while decoding, lengths, modes and ends of files stay real.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/media_device.h"
#include "platform/media/media_interface.h"
#include "platform/media/player_prefetch.h"

class QWidget;

namespace cinevo::platform {

// Maps the window handle of "open ... parent N" to the widget movie windows are placed in.
using MediaParentLookup = std::function<QWidget*(int handle)>;
// Maps a device name to an existing file (kMediaOk and the path) or gives kMediaFileNotFound.
using MediaPathResolver = std::function<int(std::string_view name, std::string& file)>;

class MediaService {
 public:
  MediaService();
  ~MediaService();  // closes every device

  MediaService(const MediaService&) = delete;
  MediaService& operator=(const MediaService&) = delete;

  // Carries out one command; `reply` receives the answer (empty after a failure).
  int Send(std::string_view command, std::string& reply);

  // The same with a caller's buffer: the reply is zero-terminated and cut to `reply_size`
  // bytes; a reply that had to be cut turns success into kMediaReplyTooLong. A null buffer or a
  // size of 0 takes no reply.
  int Send(const char* command, char* reply, size_t reply_size);

  // Names the files that are about to be opened, in order (for example the movies of a drop),
  // so that their engines start and their files load side by side, ahead of the "open"
  // commands; see player_prefetch.h. Names that do not resolve to a file are passed over; the
  // results of every command stay exactly what they would be without this. Replaces the names
  // of an earlier call; "close all" forgets them.
  void Prepare(const std::vector<std::string>& names);
  // Names prepared and not opened yet.
  size_t prepared_count() const { return prefetch_.pending(); }

  // Replaces the window lookup (default: the client area of a runtime window handle; handle 0
  // means no parent and gives a top-level movie window).
  void SetParentLookup(MediaParentLookup lookup);
  // Replaces the file lookup (default: case-insensitive resolution, ResolveMediaFile).
  void SetPathResolver(MediaPathResolver resolver);
  // Bounded wait of "open" for the file to be loaded.
  void SetLoadTimeout(int milliseconds) { load_timeout_ms_ = milliseconds; }

  size_t device_count() const { return devices_.size(); }
  MediaDevice* Find(std::string_view name) const;

  void CloseAll();

 private:
  int Open(const MediaCommand& command);
  // The absolute path of the file a device name stands for, or kMediaFileNotFound.
  int ResolveFile(std::string_view name, std::string& file) const;
  int ForEach(const MediaCommand& command);

  std::vector<std::unique_ptr<MediaDevice>> devices_;  // in the order they were opened
  MediaParentLookup parent_lookup_;
  MediaPathResolver path_resolver_;
  int load_timeout_ms_ = 5000;
  PlayerPrefetch prefetch_;
};

// The process-wide service. It closes its devices when the Qt application goes away.
MediaService& DefaultMediaService();

// SendMedia (media_interface.h) sends one command to this service (see MediaService::Send).

}  // namespace cinevo::platform
