// The application's line to the media service: command texts and sounds.
//
// Everything the player sends goes through a MediaLink, so that the routines that build command
// texts can be tested against a recording link as well as against the real service.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cinevo::app {

// The reply buffer of a media command holds this many bytes with its terminating zero.
inline constexpr size_t kMediaReplySize = 128;

class MediaLink {
 public:
  virtual ~MediaLink() = default;
  // Carries out one command text and returns its result code (0 success). `reply` receives the
  // reply text, at most kMediaReplySize - 1 bytes; it is empty after a failure.
  virtual int Send(std::string_view command, std::string& reply) = 0;
  // Plays the sound file `path` to its end; returns the result code. The program's windows keep
  // being drawn meanwhile, but take no input.
  virtual int PlaySound(std::string_view path) = 0;
  // Names the movies about to be opened, in order, so that the service can get them ready side
  // by side; the commands that follow answer exactly as they would without it. A link may
  // ignore it.
  virtual void Prepare(const std::vector<std::string>& paths) { (void)paths; }
  // Lets the service get its engine ready in the background, once the program has shown its
  // window, so that the first movie does not wait for it. A link may ignore it.
  virtual void WarmUp() {}
};

// The link to the process-wide media service.
std::unique_ptr<MediaLink> MakeSystemMediaLink();

}  // namespace cinevo::app
