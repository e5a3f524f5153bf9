#include "runtime/ui/single_instance.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeData>
#include <QUrl>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "platform/window/native_window.h"
#include "runtime/ui/window_widgets.h"

namespace cinevo {
namespace {

constexpr std::string_view kHeader = "cinevo-open 1\n";
constexpr std::string_view kAnswer = "ok\n";

std::string Hash(std::string_view key) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (char c : key) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// A folder only the user can enter: ours, a real folder (no link), no rights for others.
bool PrivateFolder(const std::string& dir, std::string* problem) {
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) {
    if (errno != ENOENT || ::mkdir(dir.c_str(), 0700) != 0 || ::lstat(dir.c_str(), &st) != 0) {
      if (problem) *problem = dir + " cannot be made: " + std::strerror(errno);
      return false;
    }
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
    if (problem) *problem = dir + " is not a folder of this user alone";
    return false;
  }
  return true;
}

// The names of a complete message, or false when `data` is not (yet) one.
bool ParseMessage(const std::string& data, std::vector<std::string>& names) {
  if (data.size() < kHeader.size() || std::string_view(data).substr(0, kHeader.size()) != kHeader) return false;
  names.clear();
  size_t at = kHeader.size();
  while (at < data.size()) {
    size_t end = data.find('\0', at);
    if (end == std::string::npos) return false;  // cut off
    if (end > at) names.emplace_back(data, at, end - at);
    at = end + 1;
  }
  return true;
}

}  // namespace

std::string InstanceSocketPath(std::string_view key, std::string* problem) {
  std::string name = "cinevo-" + Hash(key) + ".socket";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
      st.st_uid == ::getuid() && ::access(runtime, W_OK) == 0) {
    return std::string(runtime) + "/" + name;
  }
  std::string dir = "/tmp/cinevo-" + std::to_string(::getuid());
  if (!PrivateFolder(dir, problem)) return {};
  return dir + "/" + name;
}

// The listening side: one QLocalServer, each connection read until it holds a whole message.
struct SingleInstance::Server {
  QLocalServer server;
  Receiver receiver;
  std::deque<std::vector<std::string>> waiting;

  void Accept() {
    while (QLocalSocket* socket = server.nextPendingConnection()) {
      auto data = std::make_shared<std::string>();
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, data] {
        QByteArray bytes = socket->readAll();
        data->append(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (data->size() > kMaxHandOverBytes) {
          socket->abort();
          return;
        }
        // A message ends with the sender's "\0\0" end mark (an empty name).
        if (data->size() < kHeader.size() + 2 || data->compare(data->size() - 2, 2, std::string("\0\0", 2)) != 0) return;
        std::vector<std::string> names;
        if (!ParseMessage(*data, names)) {
          socket->abort();
          return;
        }
        socket->write(kAnswer.data(), static_cast<qint64>(kAnswer.size()));
        socket->flush();
        data->clear();
        Deliver(std::move(names));
      });
    }
  }
  void Deliver(std::vector<std::string> names) {
    if (receiver) {
      receiver(std::move(names));
    } else {
      waiting.push_back(std::move(names));
    }
  }
};

SingleInstance::SingleInstance(std::string key) : key_(std::move(key)) {}

SingleInstance::~SingleInstance() {
  if (server_) {
    server_->server.close();
    server_.reset();
  }
}

SingleInstance::Role SingleInstance::Claim(const std::vector<std::string>& names, int timeout_ms) {
  path_ = InstanceSocketPath(key_, &problem_);
  if (path_.empty()) return Role::kAlone;
  // Only one start at a time decides who listens.
  std::string lock_path = path_ + ".lock";
  int lock = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
    problem_ = lock_path + " cannot be locked: " + std::strerror(errno);
    if (lock >= 0) ::close(lock);
    return Role::kAlone;
  }
  struct Unlock {
    int fd;
    ~Unlock() { ::close(fd); }  // closing ends the lock
  } unlock{lock};

  QLocalSocket socket;
  socket.connectToServer(QString::fromLocal8Bit(path_.c_str()));
  if (socket.waitForConnected(timeout_ms)) {
    std::string message(kHeader);
    for (const std::string& n : names) {
      if (n.empty() || n.find('\0') != std::string::npos) continue;
      message += n;
      message.push_back('\0');
    }
    message.push_back('\0');  // the end mark
    message.push_back('\0');
    socket.write(message.data(), static_cast<qint64>(message.size()));
    std::string answer;
    while (socket.state() == QLocalSocket::ConnectedState && answer.size() < kAnswer.size()) {
      if (socket.bytesToWrite() > 0) {
        socket.waitForBytesWritten(timeout_ms);
        continue;
      }
      if (!socket.waitForReadyRead(timeout_ms)) break;
      QByteArray bytes = socket.readAll();
      answer.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    socket.disconnectFromServer();
    if (answer == kAnswer) return Role::kHandedOver;
    problem_ = "the running program did not answer";
    return Role::kAlone;
  }
  // Nobody listens: a socket left behind is dead. Take its place.
  QLocalServer::removeServer(QString::fromLocal8Bit(path_.c_str()));
  auto server = std::make_unique<Server>();
  server->server.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->server.listen(QString::fromLocal8Bit(path_.c_str()))) {
    problem_ = path_ + ": " + server->server.errorString().toStdString();
    return Role::kAlone;
  }
  Server* s = server.get();
  QObject::connect(&s->server, &QLocalServer::newConnection, &s->server, [s] { s->Accept(); });
  server_ = std::move(server);
  return Role::kFirst;
}

void SingleInstance::SetReceiver(Receiver receiver) {
  if (!server_) return;
  server_->receiver = std::move(receiver);
  while (server_->receiver && !server_->waiting.empty()) {
    std::vector<std::string> names = std::move(server_->waiting.front());
    server_->waiting.pop_front();
    server_->receiver(std::move(names));
  }
}

bool DropFilesOn(const Window& window, const std::vector<std::string>& paths) {
  platform::NativeWindow* n = NativeOf(window);
  if (n == nullptr) return false;
  // The user started the program again: show the one that runs.
  if (n->isMinimized()) n->showNormal();
  n->raise();
  n->activateWindow();
  if (paths.empty()) return true;
  QMimeData mime;
  QList<QUrl> urls;
  for (const std::string& p : paths) urls << QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(p)));
  mime.setUrls(urls);
  // The way a drag from the desktop comes: entering first, then the drop.
  const QPoint at = n->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(n, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(n, &drop);
  return true;
}

}  // namespace cinevo
