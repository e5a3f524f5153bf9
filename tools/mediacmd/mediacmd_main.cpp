// mediacmd: sends media command texts and prints each result code, its text and the reply.
//
//   mediacmd [--headless] ["COMMAND" ...]
//
// With commands as arguments each is sent in turn and the program ends; otherwise lines are read
// from standard input (see command_script.h for the tool's own directives). When a display is
// there the tool opens a main window of its own whose handle is 1 ("open FILE parent 1" places a
// movie inside it), and after the input ends it stays until that window is closed while movies
// are open. Without a display (or with --headless) video and sound go to null outputs.
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/media_service.h"
#include "platform/media/sound_player.h"
#include "platform/media_command/media_result.h"
#include "tools/mediacmd/command_script.h"

namespace {

using cinevo::platform::ScriptLine;

// Runs script lines one at a time on the GUI thread. Lines arrive as queued calls; a "sleep"
// keeps the event loop turning, and lines that arrive meanwhile wait their turn.
class Runner {
 public:
  explicit Runner(QWidget* main_window) : main_window_(main_window) {}

  void Add(std::string line) {
    pending_.push_back(std::move(line));
    Pump();
  }
  void EndOfInput() {
    eof_ = true;
    Pump();
  }
  // Runs one line; false when the script asked to quit.
  bool Run(const std::string& line) {
    ScriptLine s = cinevo::platform::ParseScriptLine(line);
    switch (s.kind) {
      case ScriptLine::Kind::kSkip:
        return true;
      case ScriptLine::Kind::kQuit:
        return false;
      case ScriptLine::Kind::kBad:
        Report(cinevo::platform::kMediaBadParameter, "");
        return true;
      case ScriptLine::Kind::kSleep: {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < s.milliseconds) {
          QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
      }
      case ScriptLine::Kind::kSound:
        Report(cinevo::platform::PlaySoundFile(s.text), "");
        return true;
      case ScriptLine::Kind::kCommand: {
        std::string reply;
        int code = cinevo::platform::DefaultMediaService().Send(s.text, reply);
        Report(code, reply);
        return true;
      }
    }
    return true;
  }
  int failures() const { return failures_; }

 private:
  void Report(int code, const std::string& reply) {
    if (code != cinevo::platform::kMediaOk) ++failures_;
    std::cout << cinevo::platform::FormatAnswer(code, reply) << std::endl;
  }
  void Pump() {
    if (running_) return;  // a sleep further up the stack is turning the event loop
    running_ = true;
    while (!pending_.empty() && !quit_) {
      std::string line = std::move(pending_.front());
      pending_.pop_front();
      if (!Run(line)) quit_ = true;
    }
    running_ = false;
    if (quit_ || (eof_ && pending_.empty())) Finish();
  }
  void Finish() {
    bool keep = !quit_ && main_window_ != nullptr && main_window_->isVisible() &&
                cinevo::platform::DefaultMediaService().device_count() > 0;
    if (!keep) QCoreApplication::quit();
  }

  QWidget* main_window_;
  std::deque<std::string> pending_;
  bool running_ = false;
  bool eof_ = false;
  bool quit_ = false;
  int failures_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  bool headless = std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr;
  std::vector<std::string> commands;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) headless = true;
    else if (std::strcmp(argv[i], "--help") == 0) {
      std::cout << "usage: mediacmd [--headless] [\"COMMAND\" ...]\n";
      return 0;
    } else commands.emplace_back(argv[i]);
  }

  std::unique_ptr<QCoreApplication> app;
  std::unique_ptr<QWidget> main_window;
  if (headless) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
    main_window = std::make_unique<QWidget>();
    main_window->setWindowTitle("Cinevo + media commands");
    main_window->resize(800, 600);
    main_window->show();
  }
  QWidget* parent = main_window.get();
  auto& service = cinevo::platform::DefaultMediaService();
  service.SetParentLookup([parent](int handle) { return handle == 1 ? parent : nullptr; });

  Runner runner(main_window.get());
  if (!commands.empty()) {
    for (const std::string& c : commands) {
      if (!runner.Run(c)) break;
    }
  } else {
    QCoreApplication* a = app.get();
    std::thread([a, &runner] {
      std::string line;
      while (std::getline(std::cin, line)) {
        QMetaObject::invokeMethod(a, [&runner, line] { runner.Add(line); }, Qt::QueuedConnection);
      }
      QMetaObject::invokeMethod(a, [&runner] { runner.EndOfInput(); }, Qt::QueuedConnection);
    }).detach();  // may still be blocked in a read when the user closes the window
    QCoreApplication::exec();
  }
  service.CloseAll();
  main_window.reset();
  int status = runner.failures() == 0 ? 0 : 1;
  if (commands.empty()) {
    // The reader thread may still be waiting for input and must not post to a dead application:
    // everything is cleaned up, so leave without running the exit handlers.
    std::cout.flush();
    std::_Exit(status);
  }
  return status;
}
