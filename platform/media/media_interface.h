// What the rest of the program sees of the media layer: media command texts and sounds.
//
// This header is free of Qt and libmpv, so that code above the runtime can drive movies and
// sounds without compiling against either; link the target cinevo_media_interface, which brings
// the player itself. The command language and the result codes are those of media_command.h and
// media_result.h; the service behind SendMedia is described in media_service.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {

// Carries out one media command text on the process-wide service and returns a MediaResult.
// The reply is zero-terminated and cut to `reply_size` bytes; a reply that had to be cut turns
// success into kMediaReplyTooLong. A null buffer or a size of 0 takes no reply. Call it from the
// thread that owns the Qt application (or the only thread when there is none).
int SendMedia(const char* command, char* reply, size_t reply_size);

// Names the movies that are about to be opened, in order (the movies of a drop, say), so that
// the service gets them ready side by side ahead of their "open" commands. Every command still
// answers exactly as it would without it; names that are never opened are forgotten by the next
// call or by "close all".
void PrepareMedia(const std::vector<std::string>& names);

// The playback engine is loaded when it is first needed, not at start-up; this has it loaded in
// the background a moment from now (when the program's window is up), so that the first movie
// does not wait for it. Returns at once; later calls do nothing.
void WarmUpMedia();

// Plays the sound file `path` (found without regard to case) and returns when it has finished:
// kMediaOk, kMediaFileNotFound, kMediaCannotPlay (not decodable, no audio, or it did not finish
// within its length plus a margin) or kMediaUnavailable. The calling thread is blocked while the
// sound plays; sound goes to the null output when there is no display.
int PlaySoundFile(std::string_view path);

// True when movie windows can be made (a QApplication exists).
bool MediaRendersVideo();
// True when sound goes to a real audio device (a display platform is in use).
bool MediaHasAudioOutput();

}  // namespace cinevo::platform
