#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <string>

#include <sys/types.h>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace marrowen {

// The conversation other programs open filter files through: a local socket
// in a folder only this user may enter, taking one macro a line and
// answering each with a line, "OK" or "ERROR " and the message.
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

  // Gives the user id of the process at the other end of a socket; tests
  // replace it.
  static std::function<uid_t(int socketDescriptor)> &peerUser();

private:
  struct Client {
    QByteArray pending;
    QTimer *timer = nullptr;
  };
  void accept();
  void readFrom(QLocalSocket *socket);
  void refuse(QLocalSocket *socket, const std::string &message);

  Executor executor_;
  QLocalServer *server_ = nullptr;
  QString error_;
  int idleTimeout_ = 10000;
  std::map<QLocalSocket *, Client> clients_;
};

// The execute-macro event: "[FileOpen("<file>")]" opens the file in the main
// window's free filter-list window. Returns an empty text or the error.
std::string MarrowenDDEExecuteMacro(const std::string &macro);

// Starts the conversation with the main window.
void installDdeServer();

} // namespace marrowen
