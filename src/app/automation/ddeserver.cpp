#include "app/automation/ddeserver.h"

#include "app/main/mainform.h"
#include "classlib/scopeexit.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

uid_t socketPeerUser(int descriptor) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
    return static_cast<uid_t>(-1);
  return credentials.uid;
}

// The folder must be ours alone: a socket in a folder others can write to
// could be replaced under us.
bool privateFolder(const QString &folder, QString &error) {
  const QByteArray path = QFile::encodeName(folder);
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
    error =
        QStringLiteral("Cannot create %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
    return false;
  }
  struct stat info {};
  if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
    error = QStringLiteral("%1 is not a folder of this user's alone").arg(folder);
    return false;
  }
  return true;
}

// The descriptor of `path` (made when missing) locked by this process, or -1
// when another held it for `timeoutMs`.
int lockFolderEntry(const QString &path, int timeoutMs) {
  const int descriptor =
      ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0)
    return -1;
  QElapsedTimer waited;
  waited.start();
  while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || waited.elapsed() >= timeoutMs) {
      ::close(descriptor);
      return -1;
    }
    ::usleep(10'000);
  }
  return descriptor;
}

bool answers(const QString &path) {
  QLocalSocket probe;
  probe.connectToServer(path);
  const bool connected = probe.waitForConnected(1000);
  probe.abort();
  return connected;
}

} // namespace

std::function<uid_t(int)> &TMarrowenDDE::peerUser() {
  static std::function<uid_t(int)> lookup = socketPeerUser;
  return lookup;
}

TMarrowenDDE::TMarrowenDDE(Executor executor, QObject *parent)
    : QObject(parent), executor_(std::move(executor)) {
  setObjectName(QStringLiteral("MarrowenDDE"));
}

TMarrowenDDE::~TMarrowenDDE() {
  for (auto &[socket, client] : clients_)
    socket->disconnect(this);
  if (server_)
    server_->close();
}

QString TMarrowenDDE::defaultSocketPath() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  QString folder = runtime.isEmpty()
                       ? QDir::tempPath() + QStringLiteral("/marrowen-%1").arg(::getuid())
                       : QFile::decodeName(runtime) + QStringLiteral("/marrowen");
  return folder + QStringLiteral("/MarrowenDDE");
}

bool TMarrowenDDE::serving() const { return server_ && server_->isListening(); }

bool TMarrowenDDE::start(const QString &path) {
  if (serving())
    return true;
  const QString folder = QFileInfo(path).absolutePath();
  if (!privateFolder(folder, error_))
    return false;
  // Another instance serves: it keeps the conversation.
  if (answers(path)) {
    error_ = QStringLiteral("Another instance serves %1").arg(path);
    return false;
  }
  // An advisory lock, not a lock file: it goes with the process however that
  // ends, and taking it writes nothing, so nothing waits for the disk.
  const int lock = lockFolderEntry(path + QStringLiteral(".flock"), 2000);
  if (lock < 0) {
    error_ = QStringLiteral("Cannot lock %1").arg(path);
    return false;
  }
  const ScopeExit unlock{[lock] { ::close(lock); }};
  // Checked again under the lock: only a socket nobody answers is removed.
  if (answers(path)) {
    error_ = QStringLiteral("Another instance serves %1").arg(path);
    return false;
  }
  QLocalServer::removeServer(path);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(path)) {
    error_ = server_->errorString();
    delete server_;
    server_ = nullptr;
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &TMarrowenDDE::accept);
  return true;
}

void TMarrowenDDE::accept() {
  while (QLocalSocket *socket = server_->nextPendingConnection()) {
    if (peerUser()(static_cast<int>(socket->socketDescriptor())) != ::getuid()) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    Client &client = clients_[socket];
    client.timer = new QTimer(socket);
    client.timer->setSingleShot(true);
    connect(client.timer, &QTimer::timeout, socket,
            [this, socket] { refuse(socket, "No macro came within the time allowed"); });
    client.timer->start(idleTimeout_);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      clients_.erase(socket);
      socket->deleteLater();
    });
    readFrom(socket);
  }
}

void TMarrowenDDE::refuse(QLocalSocket *socket, const std::string &message) {
  const auto it = clients_.find(socket);
  if (it == clients_.end())
    return;
  clients_.erase(it);
  socket->disconnect(this);
  socket->write("ERROR " + QByteArray::fromStdString(message) + '\n');
  socket->flush();
  socket->disconnectFromServer();
  socket->deleteLater();
}

void TMarrowenDDE::readFrom(QLocalSocket *socket) {
  auto it = clients_.find(socket);
  if (it == clients_.end())
    return;
  it->second.pending += socket->readAll();
  for (;;) {
    it = clients_.find(socket);
    if (it == clients_.end())
      return;
    QByteArray &pending = it->second.pending;
    const qsizetype end = pending.indexOf('\n');
    if (end < 0) {
      if (pending.size() > maxLine)
        refuse(socket, "The macro is too long");
      return;
    }
    if (end > maxLine) {
      refuse(socket, "The macro is too long");
      return;
    }
    QByteArray line = pending.left(end);
    pending.remove(0, end + 1);
    if (line.endsWith('\r'))
      line.chop(1);
    it->second.timer->start(idleTimeout_);
    const std::string error = executor_ ? executor_(line.toStdString()) : std::string();
    // The executor may have run a dialog, during which the client went.
    if (clients_.find(socket) == clients_.end())
      return;
    socket->write(error.empty() ? QByteArray("OK\n")
                                : "ERROR " + QByteArray::fromStdString(error) + '\n');
    socket->flush();
  }
}

std::string MarrowenDDEExecuteMacro(const std::string &macro) {
  static const std::string prefix = "[FileOpen(\"";
  if (macro.compare(0, prefix.size(), prefix) != 0) {
    const std::string message = translateFormat(4390, "Invalid DDE message %s", {macro});
    // The client has its answer before anyone reads the box.
    QTimer::singleShot(0, [message] {
      TmainForm *main = TmainForm::instance();
      showMessageBox(main, QMessageBox::Critical, main ? main->windowTitle() : QString(),
                     toQString(message));
    });
    return message;
  }
  std::string fileName = macro.substr(prefix.size());
  if (const auto quote = fileName.find('"'); quote != std::string::npos)
    fileName.resize(quote);
  TmainForm *main = TmainForm::instance();
  if (!main)
    return "No window to open the file in";
  try {
    // The window answers its failure here, for the client.
    CallerReportsFailures failuresToCaller;
    if (!main->openFilterFile(fileName, {.askQuestions = true}))
      return "No window to open the file in";
  } catch (const std::bad_alloc &) {
    return "Out of memory while opening " + fileName;
  } catch (const std::exception &error) {
    return error.what();
  }
  return {};
}

void installDdeServer() {
  TmainForm *main = TmainForm::instance();
  if (!main)
    return;
  auto *dde = new TMarrowenDDE(MarrowenDDEExecuteMacro, main);
  if (!dde->start())
    std::fprintf(stderr, "%s\n", dde->errorText().toLocal8Bit().constData());
}

} // namespace marrowen
