// One running program per key (the application uses its data folder): the first start listens
// on a local socket; a later start with the same key hands its file names to the running one
// and ends, so that no second main window is opened on the same data.
//
// The socket is "cinevo-<hash of the key>.socket" in $XDG_RUNTIME_DIR (the user's own runtime
// folder), or else in /tmp/cinevo-<uid>/, a folder made with mode 0700 and refused when it is
// not ours alone. A socket left by a program that died is found dead (nobody answers) and
// replaced. Two starts at the same moment are put in order by a lock file beside the socket.
//
// The message: "cinevo-open 1\n", then every name followed by a zero byte; the running program
// answers "ok\n" once it has them. Messages larger than kMaxHandOverBytes, or not of this form,
// are dropped unanswered; a caller that gets no answer within its time runs on its own.
//
// This header is free of Qt; the receiver is called on the GUI thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cinevo {

class Window;

inline constexpr size_t kMaxHandOverBytes = size_t{4} << 20;

// The socket path for `key`; empty (with `problem`) when no safe folder can be had.
std::string InstanceSocketPath(std::string_view key, std::string* problem = nullptr);

class SingleInstance {
 public:
  using Receiver = std::function<void(std::vector<std::string> names)>;

  explicit SingleInstance(std::string key);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  enum class Role {
    kFirst,       // this program runs and listens for later starts
    kHandedOver,  // a running program took `names`: this one ends
    kAlone,       // no socket can be used (`problem` says why): this one runs on its own
  };
  // Hands `names` to a running program with the same key (waiting up to `timeout_ms` for its
  // answer), or else starts listening. Needs the Qt application object.
  Role Claim(const std::vector<std::string>& names, int timeout_ms = 5000);
  const std::string& problem() const { return problem_; }
  const std::string& socket_path() const { return path_; }

  // Where names handed over go. Names that arrive while there is no receiver wait for one and
  // are given to it when it is set. An empty receiver stops delivery.
  void SetReceiver(Receiver receiver);

 private:
  struct Server;
  std::string key_, path_, problem_;
  std::unique_ptr<Server> server_;
};

// Gives `paths` to `window` as files dropped on it from the desktop: the window raises
// EVENT::Drop with them (none for no paths), and is brought to the front. False when the window
// is not open.
bool DropFilesOn(const Window& window, const std::vector<std::string>& paths);

}  // namespace cinevo
