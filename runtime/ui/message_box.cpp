#include "runtime/ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace cinevo {
namespace {

// The process-wide replacements; both are set and used on the GUI thread only.
MessageBoxResponder& Responder() {
  static MessageBoxResponder responder;
  return responder;
}

HaltHandler& HaltHook() {
  static HaltHandler handler;
  return handler;
}

// Text is bytes: shown as UTF-8 where it is valid UTF-8, byte for byte (Latin-1) otherwise.
QString ToDisplay(std::string_view bytes) {
  QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (text.contains(QChar::ReplacementCharacter) &&
      bytes.find("\xEF\xBF\xBD") == std::string_view::npos) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  return text;
}

struct ButtonPair {
  unsigned ours;
  QMessageBox::StandardButton qt;
};
constexpr ButtonPair kButtons[] = {
    {box_button::kOk, QMessageBox::Ok},         {box_button::kYes, QMessageBox::Yes},
    {box_button::kNo, QMessageBox::No},         {box_button::kAbort, QMessageBox::Abort},
    {box_button::kRetry, QMessageBox::Retry},   {box_button::kIgnore, QMessageBox::Ignore},
    {box_button::kCancel, QMessageBox::Cancel},
};

QMessageBox::Icon ToQtIcon(int icon) {
  switch (icon) {
    case box_icon::kHand: return QMessageBox::Critical;
    case box_icon::kQuestion: return QMessageBox::Question;
    case box_icon::kExclamation: return QMessageBox::Warning;
    case box_icon::kAsterisk: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

unsigned ShowQtBox(const MessageBoxRequest& request) {
  QMessageBox box(ToQtIcon(request.icon), ToDisplay(request.title),
                  ToDisplay(MessageBoxLines(request.text)));
  box.setTextFormat(Qt::PlainText);
  unsigned present = request.buttons ? request.buttons : box_button::kOk;
  for (const ButtonPair& b : kButtons) {
    if (present & b.ours) box.addButton(b.qt);
  }
  unsigned def = DefaultAnswer(request);
  for (const ButtonPair& b : kButtons) {
    if (b.ours == def) box.setDefaultButton(b.qt);
  }
  if (present & box_button::kCancel) box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked != nullptr) {
    QMessageBox::StandardButton pressed = box.standardButton(clicked);
    for (const ButtonPair& b : kButtons) {
      if (b.qt == pressed) return b.ours;
    }
  }
  return (present & box_button::kCancel) ? box_button::kCancel : def;
}

bool HaveWidgets() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

unsigned DefaultAnswer(const MessageBoxRequest& request) {
  unsigned present = request.buttons ? request.buttons : box_button::kOk;
  if (request.defaultButton != 0 && (present & request.defaultButton) == request.defaultButton &&
      (request.defaultButton & (request.defaultButton - 1)) == 0) {
    return request.defaultButton;
  }
  for (const ButtonPair& b : kButtons) {
    if (present & b.ours) return b.ours;
  }
  return box_button::kOk;
}

std::string MessageBoxLines(std::string_view text) {
  std::string lines(text);
  for (char& c : lines) {
    if (c == '|') c = '\n';
  }
  return lines;
}

unsigned ShowMessageBox(const MessageBoxRequest& request) {
  if (Responder()) return Responder()(request);
  if (HaveWidgets()) return ShowQtBox(request);
  unsigned answer = DefaultAnswer(request);
  std::fprintf(stderr, "%s: %s [answered %u]\n", request.title.c_str(),
               MessageBoxLines(request.text).c_str(), answer);
  return answer;
}

void Halt(int exitCode, std::string_view text) {
  if (HaltHook()) {
    HaltHook()(exitCode, std::string(text));
    return;
  }
  ShowMessageBox(MessageBoxRequest{std::string(text), "Halt", box_icon::kHand, box_button::kOk, 0});
  std::fflush(nullptr);
  std::exit(exitCode);
}

MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder) {
  return std::exchange(Responder(), std::move(responder));
}

HaltHandler SetHaltHandler(HaltHandler handler) {
  return std::exchange(HaltHook(), std::move(handler));
}

ScriptedMessageBoxes::ScriptedMessageBoxes(std::vector<unsigned> answers)
    : answers_(answers.begin(), answers.end()) {
  previousResponder_ = SetMessageBoxResponder([this](const MessageBoxRequest& request) {
    shown_.push_back(request);
    if (answers_.empty()) return DefaultAnswer(request);
    unsigned answer = answers_.front();
    answers_.pop_front();
    return answer;
  });
  previousHalt_ = SetHaltHandler([this](int exitCode, const std::string& text) {
    halts_.push_back({exitCode, text});
  });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
  SetMessageBoxResponder(std::move(previousResponder_));
  SetHaltHandler(std::move(previousHalt_));
}

}  // namespace cinevo
