#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <functional>
#include <map>
#include <string>

#include <sys/types.h>

class QLocalSocket;
class QSocketNotifier;
class QTimer;

namespace marrowen {

// The conversation other programs open filter files through: a local socket
// in a folder only this user may enter, taking one macro a line and
// answering each with a line, "OK" or "ERROR " and the message.
//
// At most maxClients connections are served at once; one beyond them, or
// one that comes when the program has no descriptor left, is answered
// "ERROR busy" and closed. The listening socket is ours, not a library's,
// so no failure to accept ever closes it: it serves until the object goes.
class TMarrowenDDE : public QObject {
  Q_OBJECT
public:
  // Runs one macro; returns an empty text when it succeeded, else the message.
  using Executor = std::function<std::string(const std::string &macro)>;

  explicit TMarrowenDDE(Executor executor, QObject *parent = nullptr);
  ~TMarrowenDDE() override;

  // $XDG_RUNTIME_DIR/marrowen/MarrowenDDE, else marrowen-<uid> in the
  // temporary folder.
  static QString defaultSocketPath();
  // Serves at `path` unless another instance answers there. The folder is
  // made with mode 0700 and refused when another user owns it or others may
  // enter it. False when nothing is served.
  bool start(const QString &path = defaultSocketPath());
  bool serving() const;
  QString errorText() const { return error_; }

  // A client silent this long is closed; a line longer than maxLine refused.
  void setIdleTimeout(int milliseconds) { idleTimeout_ = milliseconds; }
  static constexpr qsizetype maxLine = 64 * 1024;
  static constexpr std::size_t maxClients = 64;

  // Gives the user id of the process at the other end of a socket; tests
  // replace it.
  static std::function<uid_t(int socketDescriptor)> &peerUser();

private:
  struct Client {
    QByteArray pending;
    QTimer *timer = nullptr;
  };
  void accept();
  // Answers "ERROR busy" on a connection that is not served, and closes it.
  static void turnAway(int descriptor);
  void serve(int descriptor);
  void readFrom(QLocalSocket *socket);
  void refuse(QLocalSocket *socket, const std::string &message);

  Executor executor_;
  int listener_ = -1;
  // Held open so that a connection can still be answered when every other
  // descriptor is taken.
  int spare_ = -1;
  QString path_;
  QSocketNotifier *notifier_ = nullptr;
  QString error_;
  int idleTimeout_ = 10000;
  std::map<QLocalSocket *, Client> clients_;
};

// The execute-macro event: "[FileOpen("<file>")]" opens the file in the main
// window's free filter-list window. Returns an empty text or the error.
std::string MarrowenDDEExecuteMacro(const std::string &macro);

// Starts the conversation with the main window.
void installDdeServer();

// Raises the soft limit of open descriptors to the hard one, so that many
// clients, jobs and files fit side by side; false when it cannot.
bool raiseDescriptorLimit();

} // namespace marrowen
