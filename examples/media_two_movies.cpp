// Example: two movies playing side by side in a runtime window.
//
//   media_two_movies [--seconds N] [FILE...]
//
// Opens a runtime window, opens the files as media devices with that window as their parent,
// shows them two to a row and plays them, the way the application's main window does.
// Without file arguments it plays the generated test clips. With --seconds it ends by itself.
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/media/media_service.h"
#include "platform/media_command/media_result.h"
#include "platform/window/native_window.h"
#include "platform/window/window_system.h"

namespace {

class QuitOnClose : public cinevo::platform::WindowProcedure {
 public:
  void OnPrivateMessage(cinevo::platform::PrivateMessage&) override {}
  void OnCloseRequest() override { QCoreApplication::quit(); }
  void OnTimer(int) override {}
};

int Send(const std::string& command, std::string* reply = nullptr) {
  char buffer[128] = {};
  int rc = cinevo::platform::SendMedia(command.c_str(), buffer, sizeof buffer);
  if (rc != 0) {
    std::cerr << command << ": " << rc << " " << cinevo::platform::MediaResultText(rc) << "\n";
  }
  if (reply != nullptr) *reply = buffer;
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  cinevo::platform::StartWindowSystem();

  int seconds = 0;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) seconds = std::atoi(argv[++i]);
    else files.emplace_back(argv[i]);
  }
  if (files.empty()) {
    files = {std::string(CINEVO_TEST_MEDIA_DIR) + "/clip.avi",
             std::string(CINEVO_TEST_MEDIA_DIR) + "/clip.mov"};
  }

  QuitOnClose procedure;
  cinevo::platform::NativeWindow main(&procedure, nullptr);
  main.SetCaption("Cinevo + two movies");
  const int rows = static_cast<int>(files.size() + 1) / 2;
  main.resize(700, 20 + 280 * rows);
  main.show();

  int x = 0, y = 0, row_height = 0, in_row = 0;
  for (const std::string& file : files) {
    std::string path = file;  // the application names devices by their upper-case path
    for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (Send("open " + path + " parent " + std::to_string(main.handle()) + " ") != 0) continue;
    Send("put " + path + " window");
    Send("put " + path + " window at " + std::to_string(x) + " " + std::to_string(y) + " 0 0");
    Send("play " + path);
    std::string where;  // "0 0 WIDTH HEIGHT" of the video area
    if (Send("where " + path + " destination", &where) == 0) {
      int width = 0, height = 0;
      std::sscanf(where.c_str(), "%*d %*d %d %d", &width, &height);
      x += width + 4 + 10;  // the window's border and caption are 4 and 22 pixels more
      row_height = std::max(row_height, height + 22 + 10);
    }
    if (++in_row == 2) {
      x = 0;
      y += row_height;
      row_height = in_row = 0;
    }
  }
  if (seconds > 0) QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
  int rc = QApplication::exec();
  for (const std::string& file : files) {
    std::string path = file;
    for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string mode;
    Send("status " + path + " mode", &mode);
    std::cout << path << ": " << mode << "\n";
  }
  Send("close all");
  return rc;
}
