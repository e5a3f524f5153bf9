#include "runtime/ui/icons.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <cctype>
#include <map>

#include "platform/path_resolver.h"
#include "platform/window/native_window.h"

// Q_INIT_RESOURCE must be used outside any namespace; the resources live in a static library,
// so they are registered on first use rather than by a static initialiser the linker may drop.
static void InitCinevoIconResources() { Q_INIT_RESOURCE(icons); }

namespace cinevo {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!s.empty() && s[0] == '~') s.erase(0, 1);
  return s;
}

const IconName* Find(const std::string& name) {
  const std::string key = Lower(name);
  for (const IconName& i : KnownIcons()) {
    if (Lower(i.name) == key) return &i;
  }
  return nullptr;
}

QIcon Drawing(const char* resource) {
  InitCinevoIconResources();
  return QIcon(QStringLiteral(":/cinevo/icons/") + QString::fromLatin1(resource));
}

}  // namespace

const std::vector<IconName>& KnownIcons() {
  static const std::vector<IconName> icons = {
      {"1mm.ico", "film.svg", "", "the program: a film frame with a play mark"},
      {"1mm2.ico", "playlist.svg", "", "the play list: a small screen beside list lines"},
      {"1izb.ico", "close_all.svg", "", "close all: a screen with a red cross"},
      {"Clear.ico", "refresh.svg", "view-refresh", "refresh the list: a green circular arrow"},
      {"L.ico", "back.svg", "go-previous", "back: a left arrow in a blue disc"},
      {"Mail.ico", "mail.svg", "mail-message-new", "e-mail: an envelope"},
      {"Croat.ico", "about.svg", "", "about: a red and white chequered shield"},
      {"~About.bmp", "about_background.svg", "", "the About window's background: a strip of film on a warm light ground"},
      {"~1f1.ico", "file_avi.svg", "", "an AVI movie: a page with a blue AVI band"},
      {"~1f2.ico", "file_mpg.svg", "", "an MPG movie: a page with a green MPG band"},
      {"~1f3.ico", "file_mov.svg", "", "a MOV movie: a page with an orange MOV band"},
      {"~1f4.ico", "file_other.svg", "", "another file: a page with a grey band"},
      {"~closed.ico", "folder_closed.svg", "folder", "a contracted group: a closed folder"},
      {"~opened.ico", "folder_opened.svg", "folder-open", "an expanded group: an open folder"},
      {"Hand4.cur", "hand.svg", "", "cursor over the main window: a pointing hand"},
  };
  return icons;
}

QIcon IconForName(const std::string& name) {
  if (name.empty()) return {};
  static std::map<std::string, QIcon> cache;  // GUI thread only
  // Known names are one icon in any case; picture files only where no file has the exact name,
  // so they are kept by the name as given.
  const IconName* known = Find(name);
  const std::string key = known ? Lower(name) : name;
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  QIcon icon;
  if (known) {
    QIcon ours = Drawing(known->resource);
    icon = known->theme[0] ? QIcon::fromTheme(QString::fromLatin1(known->theme), ours) : ours;
  } else {
    // A picture file, found without regard to case like every path of the program.
    std::string path = platform::ResolveExistingPath(name).value_or(name);
    QPixmap picture;
    if (picture.load(platform::BytesToQString(path))) icon = QIcon(picture);
  }
  cache.emplace(key, icon);
  return icon;
}

QCursor CursorForName(const std::string& name) {
  if (const IconName* known = Find(name); known && std::string(known->resource) == "hand.svg") {
    InitCinevoIconResources();
    QSvgRenderer svg(QStringLiteral(":/cinevo/icons/hand.svg"));
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    svg.render(&painter);
    painter.end();
    return QCursor(pixmap, 11, 2);  // the fingertip
  }
  QPixmap picture;
  if (!name.empty() && picture.load(platform::BytesToQString(platform::ResolveExistingPath(name).value_or(name)))) {
    return QCursor(picture);
  }
  return QCursor(Qt::ArrowCursor);
}

QCursor CursorForId(int id) {
  switch (id) {
    case 0x7F02: return QCursor(Qt::IBeamCursor);
    case 0x7F03: return QCursor(Qt::WaitCursor);
    case 0x7F04: return QCursor(Qt::CrossCursor);
    case 0x7F05: return QCursor(Qt::UpArrowCursor);
    case 0x7F06: return QCursor(Qt::SizeAllCursor);
    case 0x7F07: return QCursor(Qt::ForbiddenCursor);
    case 0x7F08: return QCursor(Qt::SizeFDiagCursor);
    case 0x7F09: return QCursor(Qt::SizeBDiagCursor);
    case 0x7F0A: return QCursor(Qt::SizeHorCursor);
    case 0x7F0B: return QCursor(Qt::SizeVerCursor);
    case 0x7F0C: return QCursor(Qt::PointingHandCursor);
    default: return QCursor(Qt::ArrowCursor);
  }
}

QFont FontForName(const std::string& name, int pointSize) {
  QFont font = QApplication::font();
  const std::string key = Lower(name);
  if (key == "small fonts") {
    const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : 9;
    font.setPointSizeF(std::max<qreal>(6, size * 0.78));
  } else if (!key.empty() && key != "ms sans serif") {
    font.setFamily(platform::BytesToQString(name));
  }
  if (pointSize > 0) font.setPointSize(pointSize);
  return font;
}

}  // namespace cinevo
