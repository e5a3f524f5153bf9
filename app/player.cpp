#include "app/player.h"

#include "app/drop_names.h"
#include "runtime/ui/message_box.h"

namespace cinevo::app {
namespace {

std::string Number(int64_t n) { return std::to_string(n); }

std::string CutTo(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  return Clip(text);
}

}  // namespace

int Player::SendMedia(std::string_view command) {
  last_command_ = std::string(command);
  std::string reply;
  last_result_ = media_.Send(last_command_, reply);
  reply_ = Clip(reply);
  return last_result_;
}

PlayOutcome Player::KindOf(const std::string& path) {
  if (path.size() > kMaxEntryPath) return PlayOutcome::kTooLong;
  if (path.find(".WAV") != std::string::npos) return PlayOutcome::kSound;
  if (path.find(".AVI") == std::string::npos && path.find(".MPG") == std::string::npos &&
      path.find(".MOV") == std::string::npos) {
    return PlayOutcome::kIgnored;
  }
  return PlayOutcome::kPlaying;
}

void Player::PrepareMovies(const std::vector<std::string>& names) {
  std::vector<std::string> movies;
  for (const std::string& name : names) {
    std::string path = Clip(AsciiUpper(name));
    if (KindOf(path) == PlayOutcome::kPlaying) movies.push_back(std::move(path));
  }
  if (movies.size() >= 2) media_.Prepare(movies);
}

PlayOutcome Player::PlayMovieFile(std::string_view name) {
  std::string path = Clip(AsciiUpper(name));
  PlayOutcome kind = KindOf(path);
  if (kind == PlayOutcome::kSound) {
    sound_result_ = media_.PlaySound(path);
    return PlayOutcome::kSound;
  }
  if (kind != PlayOutcome::kPlaying) return kind;
  last_result_ = 0;
  if (SendMedia("open " + path + " parent " + Number(main_window_handle_) + " ") != 0 ||
      SendMedia("put " + path + " window") != 0 || SendMedia("play " + path) != 0) {
    return PlayOutcome::kFailed;
  }
  SendMedia("status " + path + " mode");  // a failed query leaves the mode blank
  play_list_.Append(MakeEntry(path, reply_));
  return PlayOutcome::kPlaying;
}

std::vector<std::string> Player::PlayNames(const std::vector<std::string>& names) {
  PrepareMovies(names);
  std::vector<std::string> refused;
  for (const std::string& name : names) {
    if (PlayMovieFile(name) == PlayOutcome::kTooLong) refused.push_back(name);
  }
  if (!refused.empty()) {
    std::string text = "These files were not played: their paths are longer than " +
                       Number(kMaxEntryPath) + " characters.|";
    for (const std::string& name : refused) text += "|" + name;
    ShowMessageBox(text, "Cinevo +", box_icon::kExclamation);
  }
  return refused;
}

std::vector<std::string> Player::PlayDropped(std::string_view text) {
  return PlayNames(SplitDroppedNames(text));
}

void Player::RefreshPlayList() {
  for (int32_t i = 1, n = play_list_.Count(); i <= n; ++i) {
    std::string path = play_list_.PathAt(i);
    SendMedia("status " + path + " mode");  // not tested: a closed device's mode goes blank
    play_list_.Put(i, MakeEntry(path, last_result_ == 0 ? reply_ : std::string()));
  }
}

void Player::SendAndKeepStatus(std::string_view command) {
  status_text_ = Number(SendMedia(command));
}

void Player::StopAll() {
  SendAndKeepStatus("stop all");
  RefreshPlayList();
}

void Player::PlayAllFromStart() {
  SendAndKeepStatus("play all from 0");
  RefreshPlayList();
}

void Player::ContinueAll() {
  SendAndKeepStatus("play all");
  RefreshPlayList();
}

void Player::CloseAll() {
  SendAndKeepStatus("close all");
  play_list_.Clear();
}

void Player::CloseAllDevices() { SendMedia("close all"); }

std::optional<MovieSize> Player::ReadSize(const std::string& path) {
  if (SendMedia("where " + path + " destination") != 0) return std::nullopt;
  return ParseDestination(reply_);
}

void Player::ResizeAll(int hundredths) {
  for (int32_t i = 1, n = play_list_.Count(); i <= n; ++i) {
    std::string path = play_list_.PathAt(i);
    std::optional<MovieSize> size = ReadSize(path);
    if (!size) continue;
    MovieSize window = ResizedWindow(*size, hundredths);
    SendMedia("put " + path + " window at 0 0 " + Number(window.width) + " " + Number(window.height));
  }
  RefreshPlayList();
}

void Player::Arrange(Alignment alignment) {
  Arranger walk(alignment);
  for (int32_t i = 1, n = play_list_.Count(); i <= n; ++i) {
    std::string path = play_list_.PathAt(i);
    std::optional<MovieSize> size = ReadSize(path);
    if (!size) continue;
    SendMedia("put " + path + " window at " + Number(walk.x()) + " " + Number(walk.y()) + " 0 0");
    walk.Advance(*size);
  }
  RefreshPlayList();
}

void Player::StopMovie(std::string_view selected) {
  std::string path = EntryPath(selected);
  if (path.empty()) return;
  SendAndKeepStatus("stop " + path);
  RefreshPlayList();
}

void Player::ContinueMovie(std::string_view selected) {
  std::string path = EntryPath(selected);
  if (path.empty()) return;
  SendAndKeepStatus("play " + path);
  RefreshPlayList();
}

void Player::PlayMovieFromStart(std::string_view selected) {
  std::string path = EntryPath(selected);
  if (path.empty()) return;
  SendAndKeepStatus("play " + path + " from 0");
  RefreshPlayList();
}

void Player::CloseMovie(std::string_view selected) {
  std::string path = EntryPath(selected);
  if (path.empty()) return;
  play_list_.Delete(play_list_.FindPath(path));
  SendAndKeepStatus("close " + path);
  RefreshPlayList();
  selected_movie_.clear();
}

MovieDetails Player::ReadDetails(std::string_view selected) {
  MovieDetails details;
  std::string path = EntryPath(selected);
  if (path.empty()) return details;
  // Each query's reply: the service leaves none after a failure, so a failed query shows blank
  // (a reply cut to the buffer still shows).
  auto ask = [this](const std::string& command) {
    SendMedia(command);
    return reply_;
  };
  const size_t w = MovieDetails::kDetailWidth;
  details.caption = ask("info " + path + " window text");
  details.version = CutTo(ask("info " + path + " version"), w);
  details.product = CutTo(ask("info " + path + " product"), w);
  details.status = CutTo(ask("status " + path + " mode"), w);
  details.destination = CutTo(ask("where " + path + " destination"), w);
  details.audio = CutTo(ask("capability " + path + " has audio"), w);
  SendMedia("set " + path + " time format milliseconds");
  details.milliseconds = CutTo(ask("status " + path + " length"), w);
  SendMedia("set " + path + " time format frames");
  details.frames = CutTo(ask("status " + path + " length"), w);
  return details;
}

}  // namespace cinevo::app
