// The runtime's message-box and halt operations.
//
// This header is free of Qt so that the class library and the application can ask the user a
// question without compiling against the window system. The window layer shows a real box when
// a Qt application object exists; without one (tools, tests) the question goes to standard error
// and the default button is the answer.
//
// Tests replace the user with a ScriptedMessageBoxes object: while it lives, every box is
// recorded instead of shown and answered from its script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cinevo {

// Buttons, combined by adding them (Yes + No + Cancel = 70). The answer of a box is one of them.
namespace box_button {
inline constexpr unsigned kOk = 1;
inline constexpr unsigned kYes = 2;
inline constexpr unsigned kNo = 4;
inline constexpr unsigned kAbort = 8;
inline constexpr unsigned kRetry = 16;
inline constexpr unsigned kIgnore = 32;
inline constexpr unsigned kCancel = 64;
}  // namespace box_button

// Icons by their system identifiers; 0 shows none.
namespace box_icon {
inline constexpr int kNone = 0;
inline constexpr int kHand = 32513;  // the stop sign
inline constexpr int kQuestion = 32514;
inline constexpr int kExclamation = 32515;
inline constexpr int kAsterisk = 32516;  // information
}  // namespace box_icon

struct MessageBoxRequest {
  std::string text;   // a "|" starts a new line
  std::string title;
  int icon = box_icon::kNone;
  unsigned buttons = box_button::kOk;
  unsigned defaultButton = 0;  // 0: the first button present

  friend bool operator==(const MessageBoxRequest&, const MessageBoxRequest&) = default;
};

// Shows the box and returns the button pressed. Closing the box without a button answers
// Cancel when the box has one, otherwise its default button.
unsigned ShowMessageBox(const MessageBoxRequest& request);
inline unsigned ShowMessageBox(std::string_view text, std::string_view title, int icon = 0,
                               unsigned buttons = box_button::kOk, unsigned defaultButton = 0) {
  return ShowMessageBox(
      MessageBoxRequest{std::string(text), std::string(title), icon, buttons, defaultButton});
}

// The button that answers for the user where nobody can: the default button when it is one of
// the box's buttons, otherwise the lowest button present (OK when none is).
unsigned DefaultAnswer(const MessageBoxRequest& request);

// The box's text with every "|" turned into a line break.
std::string MessageBoxLines(std::string_view text);

// The halt operation: shows `text` in a box captioned "Halt" with the stop icon, then ends the
// process with `exitCode`. A registered halt handler is called instead; Halt returns only when
// the handler returns, and the caller must then carry on safely.
using HaltHandler = std::function<void(int exitCode, const std::string& text)>;
void Halt(int exitCode, std::string_view text);

// Replaces how boxes are answered / how the program halts; an empty function restores the
// default. Each returns the one it replaced.
using MessageBoxResponder = std::function<unsigned(const MessageBoxRequest&)>;
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);
HaltHandler SetHaltHandler(HaltHandler handler);

// The user of a test. While the object lives it answers every box from its script (in order;
// when the script is empty, with the box's default answer) and records what each box showed,
// and it records halts instead of ending the process. The previous responder and halt handler
// come back when it is destroyed.
class ScriptedMessageBoxes {
 public:
  struct HaltRecord {
    int exitCode;
    std::string text;
  };

  explicit ScriptedMessageBoxes(std::vector<unsigned> answers = {});
  ~ScriptedMessageBoxes();
  ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
  ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

  void Answer(unsigned button) { answers_.push_back(button); }  // the next answer after the script
  const std::vector<MessageBoxRequest>& Shown() const { return shown_; }
  const std::vector<HaltRecord>& Halts() const { return halts_; }
  size_t Unanswered() const { return answers_.size(); }  // script entries no box has used
  void Clear() { shown_.clear(); halts_.clear(); }

 private:
  std::deque<unsigned> answers_;
  std::vector<MessageBoxRequest> shown_;
  std::vector<HaltRecord> halts_;
  MessageBoxResponder previousResponder_;
  HaltHandler previousHalt_;
};

}  // namespace cinevo
