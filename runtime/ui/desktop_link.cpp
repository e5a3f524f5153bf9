#include "runtime/ui/desktop_link.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QString>
#include <QUrl>

#include <utility>

namespace cinevo {
namespace {

DesktopLinkOpener& Opener() {
  static DesktopLinkOpener opener;  // GUI thread only
  return opener;
}

bool OpenWithDesktop(const std::string& link) {
  if (QGuiApplication::instance() == nullptr) return false;
  const QUrl url = QUrl::fromUserInput(QString::fromUtf8(link.data(), static_cast<qsizetype>(link.size())));
  if (!url.isValid()) return false;
  return QDesktopServices::openUrl(url);
}

}  // namespace

bool OpenDesktopLink(std::string_view link) {
  const std::string text(link);
  if (text.empty()) return false;
  if (Opener()) return Opener()(text);
  return OpenWithDesktop(text);
}

DesktopLinkOpener SetDesktopLinkOpener(DesktopLinkOpener opener) {
  return std::exchange(Opener(), std::move(opener));
}

}  // namespace cinevo
