#include "platform/media/media_device.h"

#include <QWidget>

#include <cmath>

#include "platform/media/mpv_library.h"
#include "platform/media_command/media_result.h"

#ifndef CINEVO_VERSION
#define CINEVO_VERSION "0.0.0"
#endif

namespace cinevo::platform {
namespace {

constexpr int kMaxWindowSide = 8192;

std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string VersionText() {
  unsigned long v = LoadedMpv().mpv_client_api_version();
  return std::string(CINEVO_VERSION) + " libmpv " + std::to_string(v >> 16) + "." +
         std::to_string(v & 0xFFFF);
}

}  // namespace

int MediaDevice::Open(const Setup& setup, std::unique_ptr<MediaDevice>& out) {
  out.reset();
  std::unique_ptr<MediaDevice> device(new MediaDevice());
  device->name_ = setup.name;
  device->caption_ = FileNamePart(setup.name);
  MpvPlayerOptions options = PlayerOptions(setup);
  if (setup.prefetch != nullptr) device->player_ = setup.prefetch->Take(setup.file, options);
  int rc = kMediaOk;
  if (!device->player_) {
    device->player_ = MpvPlayer::Create(options);
    if (!device->player_) return kMediaUnavailable;
    rc = device->player_->StartLoad(setup.file);
  }
  // A file that cannot be played fails here whether its load began here or ahead of time, and
  // the device with its engine goes with `device`.
  if (rc == kMediaOk) rc = device->player_->FinishLoad(setup.load_timeout_ms);
  if (rc != kMediaOk) return rc;

  const MediaFileInfo& info = device->player_->info();
  QSize native(info.width > 0 ? info.width : 320, info.height > 0 ? info.height : 240);
  device->geometry_ = QRect(QPoint(0, 0), native + QSize(MovieWindow::kExtraWidth,
                                                         MovieWindow::kExtraHeight));
  if (info.has_video && device->player_->renders_video()) {
    MpvPlayer* player = device->player_.get();
    auto* window = new MovieWindow(setup.parent, QString::fromUtf8(device->caption_.c_str()),
                                   &player->frame());  // owned by the parent, or closed by us
    window->setGeometry(device->geometry_);
    window->hide();
    QObject::connect(player, &MpvPlayer::frameRendered, window, qOverload<>(&QWidget::update));
    QObject::connect(window, &MovieWindow::videoResized, player,
                     [player](QSize size) { player->SetRenderSize(size); });
    device->window_ = window;
  }
  out = std::move(device);
  return kMediaOk;
}

MpvPlayerOptions MediaDevice::PlayerOptions(const Setup& setup) {
  MpvPlayerOptions options;
  options.render_video = setup.render_video;
  options.audio_output = setup.audio_output;
  return options;
}

MediaDevice::~MediaDevice() {
  // The window paints from the engine's frame, so it goes first. A parent that was destroyed
  // earlier took the window with it, which the guarded pointer notices.
  if (window_) delete window_.data();
  player_.reset();
}

void MediaDevice::Refresh() { player_->DrainEvents(); }

QRect MediaDevice::Geometry() const { return window_ ? window_->geometry() : geometry_; }

std::string MediaDevice::Mode() const {
  if (!player_->loaded() || player_->failed()) return "not ready";
  if (player_->at_end()) return "stopped";
  switch (intent_) {
    case Intent::kPlaying: return "playing";
    case Intent::kPaused: return "paused";
    case Intent::kStopped: break;
  }
  return "stopped";
}

int64_t MediaDevice::ToUnits(double seconds) const {
  double factor = frames_ ? player_->info().fps : 1000.0;
  return std::llround(seconds * factor);
}

int MediaDevice::Play(const MediaCommand& command) {
  const MediaFileInfo& info = player_->info();
  if (command.item == MediaItem::kFrom) {
    int64_t length = ToUnits(info.duration);
    if (command.number[0] < 0 || command.number[0] > length) return kMediaBadParameter;
    double seconds = frames_ ? command.number[0] / info.fps : command.number[0] / 1000.0;
    player_->SeekTo(seconds);
  } else if (player_->at_end()) {
    player_->SeekTo(0);  // a movie that has ended plays again from its start
  }
  player_->SetPaused(false);
  intent_ = Intent::kPlaying;
  return kMediaOk;
}

int MediaDevice::Put(const MediaCommand& command) {
  if (!player_->info().has_video) return kMediaNoVideo;
  if (command.item == MediaItem::kWindowAt) {
    const int* n = command.number;
    constexpr int kFar = kMaxWindowSide * 4;  // positions beyond this are surely mistakes
    if (n[2] < 0 || n[3] < 0 || n[2] > kMaxWindowSide || n[3] > kMaxWindowSide || n[0] < -kFar ||
        n[0] > kFar || n[1] < -kFar || n[1] > kFar) {
      return kMediaBadParameter;
    }
    QRect r = Geometry();
    // A width or height of 0 keeps the current one; the window never gets smaller than its frame.
    int w = n[2] == 0 ? r.width() : std::max(n[2], MovieWindow::kExtraWidth + 1);
    int h = n[3] == 0 ? r.height() : std::max(n[3], MovieWindow::kExtraHeight + 1);
    geometry_ = QRect(n[0], n[1], w, h);
    if (window_) {
      window_->setGeometry(geometry_);
      // A hidden widget gets its resize event only when shown; the renderer follows now.
      player_->SetRenderSize(window_->VideoSize());
    }
    return kMediaOk;
  }
  if (window_) {
    window_->show();
    window_->raise();
  }
  return kMediaOk;
}

int MediaDevice::Execute(const MediaCommand& c, std::string& reply) {
  reply.clear();
  const MediaFileInfo& info = player_->info();
  switch (c.verb) {
    case MediaVerb::kPlay:
      return Play(c);
    case MediaVerb::kStop:
      player_->SetPaused(true);
      intent_ = Intent::kStopped;
      return kMediaOk;
    case MediaVerb::kPause:
      player_->SetPaused(true);
      intent_ = Intent::kPaused;
      return kMediaOk;
    case MediaVerb::kResume:
      if (intent_ == Intent::kPlaying) return kMediaOk;
      return Play(MediaCommand{});
    case MediaVerb::kPut:
      return Put(c);
    case MediaVerb::kWhere: {
      if (!info.has_video) return kMediaNoVideo;
      QRect r = Geometry();
      reply = "0 0 " + std::to_string(r.width() - MovieWindow::kExtraWidth) + " " +
              std::to_string(r.height() - MovieWindow::kExtraHeight);
      return kMediaOk;
    }
    case MediaVerb::kStatus:
      switch (c.item) {
        case MediaItem::kMode: reply = Mode(); break;
        case MediaItem::kLength: reply = std::to_string(ToUnits(info.duration)); break;
        case MediaItem::kPosition: reply = std::to_string(ToUnits(player_->Position())); break;
        case MediaItem::kTimeFormat: reply = frames_ ? "frames" : "milliseconds"; break;
        default: return kMediaUnknownKeyword;
      }
      return kMediaOk;
    case MediaVerb::kInfo:
      switch (c.item) {
        case MediaItem::kWindowText:
          if (!info.has_video) return kMediaNoVideo;
          reply = caption_;
          break;
        case MediaItem::kVersion: reply = VersionText(); break;
        case MediaItem::kProduct: reply = "Cinevo + Media"; break;
        default: return kMediaUnknownKeyword;
      }
      return kMediaOk;
    case MediaVerb::kCapability:
      reply = (c.item == MediaItem::kHasAudio ? info.has_audio : info.has_video) ? "true" : "false";
      return kMediaOk;
    case MediaVerb::kSet:
      if (c.item == MediaItem::kTimeFrames) {
        if (info.fps <= 0) return kMediaNoVideo;
        frames_ = true;
      } else {
        frames_ = false;
      }
      return kMediaOk;
    case MediaVerb::kOpen:
    case MediaVerb::kClose:
      break;
  }
  return kMediaUnknownCommand;
}

}  // namespace cinevo::platform
