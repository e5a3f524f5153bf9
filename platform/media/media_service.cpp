#include "platform/media/media_service.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/media/mpv_library.h"
#include "platform/media_command/media_file.h"
#include "platform/media_command/media_result.h"
#include "platform/window/window_handle.h"

namespace cinevo::platform {
namespace {

bool IsAllVerbAllowed(MediaVerb verb) {
  switch (verb) {
    case MediaVerb::kPlay:
    case MediaVerb::kStop:
    case MediaVerb::kPause:
    case MediaVerb::kResume:
    case MediaVerb::kPut:
    case MediaVerb::kSet:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool MediaRendersVideo() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

bool MediaHasAudioOutput() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
  QString platform = QGuiApplication::platformName();
  return platform != "offscreen" && platform != "minimal";
}

MediaService::MediaService()
    : parent_lookup_([](int handle) -> QWidget* {
        return ClientFromHandle(static_cast<WindowHandle>(handle));
      }),
      path_resolver_([](std::string_view name, std::string& file) {
        return ResolveMediaFile(name, file);
      }) {}

MediaService::~MediaService() { CloseAll(); }

void MediaService::SetParentLookup(MediaParentLookup lookup) { parent_lookup_ = std::move(lookup); }
void MediaService::SetPathResolver(MediaPathResolver resolver) { path_resolver_ = std::move(resolver); }

MediaDevice* MediaService::Find(std::string_view name) const {
  for (const auto& d : devices_) {
    if (MediaEqualNoCase(d->name(), name)) return d.get();
  }
  return nullptr;
}

void MediaService::CloseAll() {
  prefetch_.Clear();
  // Newest first, so that windows opened later (and drawn on top) go first.
  while (!devices_.empty()) devices_.pop_back();
}

int MediaService::ResolveFile(std::string_view name, std::string& file) const {
  std::string found;
  int rc = path_resolver_(name, found);
  if (rc != kMediaOk) return rc;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(found, ec);
  if (ec) return kMediaFileNotFound;
  // An absolute path is never taken for a network address or an option by the engine.
  file = absolute.string();
  return kMediaOk;
}

void MediaService::Prepare(const std::vector<std::string>& names) {
  MediaDevice::Setup setup;
  setup.render_video = MediaRendersVideo();
  setup.audio_output = MediaHasAudioOutput();
  std::vector<std::string> files;
  for (const std::string& name : names) {
    std::string file;
    if (Find(name) == nullptr && ResolveFile(name, file) == kMediaOk) files.push_back(file);
  }
  prefetch_.Prepare(files, MediaDevice::PlayerOptions(setup));
}

int MediaService::Send(std::string_view text, std::string& reply) {
  reply.clear();
  for (const auto& d : devices_) d->Refresh();
  MediaCommand command;
  int rc = ParseMediaCommand(text, command,
                             [this](std::string_view name) { return Find(name) != nullptr; });
  if (rc != kMediaOk) return rc;

  if (command.verb == MediaVerb::kOpen) return Open(command);
  if (command.all) {
    if (command.verb == MediaVerb::kClose) {
      CloseAll();
      return kMediaOk;
    }
    if (!IsAllVerbAllowed(command.verb)) return kMediaNotForAll;
    return ForEach(command);
  }
  MediaDevice* device = Find(command.device);
  if (device == nullptr) return kMediaUnknownDevice;
  if (command.verb == MediaVerb::kClose) {
    devices_.erase(std::find_if(devices_.begin(), devices_.end(),
                                [device](const auto& d) { return d.get() == device; }));
    return kMediaOk;
  }
  rc = device->Execute(command, reply);
  if (rc != kMediaOk) reply.clear();
  return rc;
}

int MediaService::ForEach(const MediaCommand& command) {
  // Every device gets the command; the first failure is the result.
  int result = kMediaOk;
  std::string ignored;
  for (const auto& d : devices_) {
    int rc = d->Execute(command, ignored);
    if (result == kMediaOk) result = rc;
  }
  return result;
}

int MediaService::Open(const MediaCommand& command) {
  if (command.all) return kMediaNotForAll;
  if (Find(command.device) != nullptr) return kMediaAlreadyOpen;

  MediaDevice::Setup setup;
  setup.name = command.device;
  setup.render_video = MediaRendersVideo();
  setup.audio_output = MediaHasAudioOutput();
  setup.load_timeout_ms = load_timeout_ms_;
  if (command.item == MediaItem::kParent) {
    int handle = command.number[0];
    if (handle < std::numeric_limits<int16_t>::min() || handle > std::numeric_limits<int16_t>::max()) {
      return kMediaBadWindow;
    }
    // Without movie windows the parent plays no part, so any handle will do.
    if (handle != 0 && setup.render_video) {
      setup.parent = parent_lookup_ ? parent_lookup_(handle) : nullptr;
      if (setup.parent == nullptr) return kMediaBadWindow;
    }
  }

  int rc = ResolveFile(command.device, setup.file);
  if (rc != kMediaOk) return rc;
  setup.prefetch = &prefetch_;

  std::unique_ptr<MediaDevice> device;
  rc = MediaDevice::Open(setup, device);
  if (rc != kMediaOk) return rc;
  devices_.push_back(std::move(device));
  return kMediaOk;
}

int MediaService::Send(const char* command, char* reply, size_t reply_size) {
  std::string answer;
  int rc = command == nullptr ? kMediaMissingParameter : Send(std::string_view(command), answer);
  if (reply == nullptr || reply_size == 0) return rc;
  size_t n = std::min(answer.size(), reply_size - 1);
  std::memcpy(reply, answer.data(), n);
  reply[n] = '\0';
  if (rc == kMediaOk && n < answer.size()) rc = kMediaReplyTooLong;
  return rc;
}

MediaService& DefaultMediaService() {
  static MediaService service;
  static bool hooked = false;
  if (!hooked && QCoreApplication::instance() != nullptr) {
    // Movie windows must go while the application still exists.
    qAddPostRoutine([] { DefaultMediaService().CloseAll(); });
    hooked = true;
  }
  return service;
}

int SendMedia(const char* command, char* reply, size_t reply_size) {
  return DefaultMediaService().Send(command, reply, reply_size);
}

void PrepareMedia(const std::vector<std::string>& names) { DefaultMediaService().Prepare(names); }

void WarmUpMedia() {
  // Late enough for the window's first paint, which should not wait on the dynamic loader.
  constexpr int kDelayMs = 300;
  PreloadMpvLibrary(kDelayMs);
}

}  // namespace cinevo::platform
