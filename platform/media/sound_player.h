// Playing a sound file to its end.
#pragma once

#include <string_view>

namespace cinevo::platform {

// Plays the sound file `path` (found without regard to case) and returns when it has finished:
// kMediaOk, kMediaFileNotFound, kMediaCannotPlay (not decodable, no audio, or it did not finish
// within its length plus a margin) or kMediaUnavailable. The calling thread is blocked while the
// sound plays; sound goes to the null output when there is no display (see media_service.h).
int PlaySoundFile(std::string_view path);

}  // namespace cinevo::platform
