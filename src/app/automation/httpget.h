#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QNetworkAccessManager;

class QSaveFile;
class QTimer;

namespace marrowen {

// Fetches one address over HTTP without holding up the windows: the answer
// arrives through the events on the user-interface thread. Only a 200
// answer counts; redirects are not followed, and an answer longer than
// `MaxSize` or taking longer than `Timeout` is an error. In file mode the
// answer goes to a temporary file that replaces `FileName` only when whole.
class THTTPGet : public QObject {
  Q_OBJECT
public:
  explicit THTTPGet(QObject *parent = nullptr);
  // Aborts a download still running; its events never come.
  ~THTTPGet() override;

  std::string Agent = "Pellquin HTTPGet";
  std::string URL;
  std::string UserName;
  std::string Password;
  std::string PostQuery;
  std::string Referer;
  std::string FileName;
  bool BinaryData = false;
  // The caller's GetString/GetFile returns only once the download has ended.
  bool WaitThread = false;
  std::int64_t MaxSize = 64 * 1024;
  int Timeout = 30000; // milliseconds the whole transfer may take

  std::function<void(const std::string &text)> OnDoneString;
  std::function<void(const std::string &fileName, std::int64_t size)> OnDoneFile;
  std::function<void()> OnError;
  std::function<void(std::int64_t contentLength, std::int64_t received)> OnProgress;

  // Start a download; nothing happens while one still runs.
  void GetString();
  void GetFile();
  void Abort();
  bool running() const { return reply_ != nullptr; }

private:
  void start(bool toFile);
  void received();
  void finished();
  void fail();

  QNetworkAccessManager *manager_;
  QPointer<QNetworkReply> reply_;
  QTimer *timer_;
  bool toFile_ = false;
  bool failed_ = false;
  bool aborted_ = false;
  bool credentialsGiven_ = false;
  std::string text_;
  std::unique_ptr<QSaveFile> file_;
  std::int64_t contentLength_ = -1;
  std::int64_t received_ = 0;
};

} // namespace marrowen
