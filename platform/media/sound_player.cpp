#include "platform/media/sound_player.h"

#include <filesystem>
#include <string>

#include "platform/media/media_service.h"
#include "platform/media/mpv_player.h"
#include "platform/media_command/media_file.h"
#include "platform/media_command/media_result.h"

namespace cinevo::platform {

int PlaySoundFile(std::string_view path) {
  std::string file;
  int rc = ResolveMediaFile(path, file);
  if (rc != kMediaOk) return rc;
  std::error_code ec;
  file = std::filesystem::absolute(file, ec).string();
  if (ec) return kMediaFileNotFound;

  MpvPlayerOptions options;
  options.video = false;
  options.keep_open = false;
  options.audio_output = MediaHasAudioOutput();
  auto player = MpvPlayer::Create(options);
  if (!player) return kMediaUnavailable;
  rc = player->Load(file, 5000);
  if (rc != kMediaOk) return rc;
  if (!player->info().has_audio) return kMediaCannotPlay;
  player->SetPaused(false);
  // Generous margin: a busy machine may start the output late.
  int limit_ms = static_cast<int>(player->info().duration * 1000) + 10000;
  return player->WaitForEnd(limit_ms) ? kMediaOk : kMediaCannotPlay;
}

}  // namespace cinevo::platform
