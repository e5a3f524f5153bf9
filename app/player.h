// The player: the play list and every routine that drives the movies through the media service.
//
// Movie devices are named by their full upper-case path and play in windows placed in the client
// area of the main window (MainWindowHandle). A movie enters the play list only when it was
// opened, shown and started ("open", "put ... window", "play" all succeeded); a device whose
// "put" or "play" failed stays open without an entry until "close all". A ".WAV" name plays as
// a sound to its end and never enters the list; a name without ".WAV", ".AVI", ".MPG" or ".MOV"
// is ignored. Media failures are not shown to the user: each routine says what it skips.
//
// The last command, its reply and result, and the text of the last stop/play/close result
// (status_text) are kept for displays and tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/media_link.h"
#include "app/movie_layout.h"
#include "app/play_list.h"

namespace cinevo::app {

enum class PlayOutcome {
  kPlaying,   // opened, shown and started; appended to the play list
  kSound,     // played as a sound
  kIgnored,   // not a media name
  kFailed,    // a media command failed; nothing appended
  kTooLong,   // the path does not fit a play-list entry; nothing sent
};

// What the details window shows of one movie; fields are cut to kDetailWidth characters.
struct MovieDetails {
  static constexpr size_t kDetailWidth = 20;
  std::string caption;
  std::string version, product, status, destination, audio, frames, milliseconds;
};

class Player {
 public:
  explicit Player(MediaLink& media) : media_(media) {}
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  PlayList& play_list() { return play_list_; }

  // Has the media service get ready in the background (MediaLink::WarmUp).
  void WarmUp() { media_.WarmUp(); }

  // The main window's handle: the parent of every movie window.
  void set_main_window_handle(int16_t handle) { main_window_handle_ = handle; }
  int16_t main_window_handle() const { return main_window_handle_; }

  // The play-list entry chosen in the play-list window, for the player and details windows.
  void set_selected_movie(std::string_view entry) { selected_movie_ = Clip(entry); }
  const std::string& selected_movie() const { return selected_movie_; }

  // Sends one command; its reply (clipped) and result stay in reply() and last_result().
  int SendMedia(std::string_view command);
  const std::string& last_command() const { return last_command_; }
  const std::string& reply() const { return reply_; }
  int last_result() const { return last_result_; }
  // The result code of the last stop, play or close command, as decimal text.
  const std::string& status_text() const { return status_text_; }
  // The result of the last sound played.
  int sound_result() const { return sound_result_; }

  // Plays one name (see above).
  PlayOutcome PlayMovieFile(std::string_view name);
  // Tells the media service which of `names` are movies about to be played, so that it gets
  // them ready side by side (MediaLink::Prepare); does nothing for fewer than two.
  void PrepareMovies(const std::vector<std::string>& names);
  // Plays `names` in order, prepared together. Paths too long for the play list are not played; one message box
  // names them all. Returns the names refused.
  std::vector<std::string> PlayNames(const std::vector<std::string>& names);
  // Splits a drop text (SplitDroppedNames) and plays the names.
  std::vector<std::string> PlayDropped(std::string_view text);

  // Asks the service for every entry's mode again and rewrites the entries.
  void RefreshPlayList();

  // Commands for every movie at once; each keeps its result in status_text and refreshes the
  // play list, but CloseAll empties the list instead.
  void StopAll();
  void PlayAllFromStart();
  void ContinueAll();
  void CloseAll();
  // "close all" alone, as the main window sends when it closes: the play list stays.
  void CloseAllDevices();

  // Every movie window scaled (kIncreaseHundredths, kDecreaseHundredths) and moved to the top
  // left corner; then the list is refreshed. A movie whose size cannot be read is skipped.
  void ResizeAll(int hundredths);
  // Every movie window placed by the arrangement's walk; then the list is refreshed.
  void Arrange(Alignment alignment);

  // The player window's commands on the movie of the entry `selected`; nothing is sent for a
  // blank entry. Each refreshes the play list afterwards.
  void StopMovie(std::string_view selected);
  void ContinueMovie(std::string_view selected);
  void PlayMovieFromStart(std::string_view selected);
  // Removes the first entry of the movie from the play list, closes its device and clears the
  // selected movie.
  void CloseMovie(std::string_view selected);

  // The ten queries of the details window, in their order; a blank entry gives blank details.
  MovieDetails ReadDetails(std::string_view selected);

 private:
  // What PlayMovieFile does with the clipped upper-case `path`.
  static PlayOutcome KindOf(const std::string& path);
  // Sends a command for the whole list and keeps its result text.
  void SendAndKeepStatus(std::string_view command);
  // The size of the movie's video, or nothing when "where" fails.
  std::optional<MovieSize> ReadSize(const std::string& path);

  MediaLink& media_;
  PlayList play_list_;
  int16_t main_window_handle_ = 0;
  std::string selected_movie_;
  std::string last_command_;
  std::string reply_;
  int last_result_ = 0;
  std::string status_text_;
  int sound_result_ = 0;
};

}  // namespace cinevo::app
