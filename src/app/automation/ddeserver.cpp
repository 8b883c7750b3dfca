#include "app/automation/ddeserver.h"

#include "app/main/mainform.h"
#include "classlib/scopeexit.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// A socket listening at `path` (a file left there is replaced), or -1 and
// the reason in `error`.
int listenAt(const QString &path, QString &error) {
  const QByteArray name = QFile::encodeName(path);
  sockaddr_un address{};
  if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
    error = QStringLiteral("The socket name %1 is too long").arg(path);
    return -1;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (descriptor < 0) {
    error = QStringLiteral("Cannot make a socket: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    return -1;
  }
  ::unlink(name.constData());
  if (::bind(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
      ::chmod(name.constData(), 0600) != 0 || ::listen(descriptor, SOMAXCONN) != 0) {
    error = QStringLiteral("Cannot listen at %1: %2")
                .arg(path, QString::fromLocal8Bit(strerror(errno)));
    ::close(descriptor);
    return -1;
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
  delete notifier_;
  if (spare_ >= 0)
    ::close(spare_);
  if (listener_ >= 0) {
    ::close(listener_);
    ::unlink(QFile::encodeName(path_).constData());
  }
}

QString TMarrowenDDE::defaultSocketPath() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  QString folder = runtime.isEmpty()
                       ? QDir::tempPath() + QStringLiteral("/marrowen-%1").arg(::getuid())
                       : QFile::decodeName(runtime) + QStringLiteral("/marrowen");
  return folder + QStringLiteral("/MarrowenDDE");
}

bool TMarrowenDDE::serving() const { return listener_ >= 0; }

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
  listener_ = listenAt(path, error_);
  if (listener_ < 0)
    return false;
  path_ = path;
  spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  notifier_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TMarrowenDDE::accept);
  return true;
}

void TMarrowenDDE::accept() {
  for (;;) {
    const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (descriptor >= 0) {
      serve(descriptor);
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED)
      continue;
    if ((errno == EMFILE || errno == ENFILE) && spare_ >= 0) {
      // Every descriptor is taken: the spare one takes the connection, to
      // answer it, and is held again.
      ::close(spare_);
      const int refused = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (refused >= 0)
        turnAway(refused);
      spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
      if (refused >= 0)
        continue;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      // Nothing can be accepted now: look again a little later rather than
      // spin on a connection that stays waiting.
      notifier_->setEnabled(false);
      QTimer::singleShot(100, this, [this] { notifier_->setEnabled(true); });
    }
    return;
  }
}

void TMarrowenDDE::turnAway(int descriptor) {
  // What the client sent is read first: closing a socket with unread input
  // could cost the client the answer.
  char ignored[4096];
  while (::recv(descriptor, ignored, sizeof ignored, MSG_DONTWAIT) > 0) {
  }
  static constexpr char busy[] = "ERROR busy\n";
  [[maybe_unused]] const auto sent = ::send(descriptor, busy, sizeof busy - 1, MSG_NOSIGNAL);
  ::close(descriptor);
}

void TMarrowenDDE::serve(int descriptor) {
  if (peerUser()(descriptor) != ::getuid()) {
    ::close(descriptor);
    return;
  }
  if (clients_.size() >= maxClients) {
    turnAway(descriptor);
    return;
  }
  auto *socket = new QLocalSocket(this);
  if (!socket->setSocketDescriptor(descriptor)) {
    ::close(descriptor);
    delete socket;
    return;
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
                     messageToQString(message));
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

bool raiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
    return false;
  if (limit.rlim_cur == limit.rlim_max)
    return true;
  limit.rlim_cur = limit.rlim_max;
  return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

void installDdeServer() {
  TmainForm *main = TmainForm::instance();
  if (!main)
    return;
  auto *dde = new TMarrowenDDE(MarrowenDDEExecuteMacro, main);
  // A run with no screen writes only its jobs' lines: cron mails them.
  if (!dde->start() && !platformHasNoScreen())
    std::fprintf(stderr, "%s\n", dde->errorText().toLocal8Bit().constData());
}

} // namespace marrowen
