#include "app/automation/httpget.h"

#include "qtext/qtext.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace marrowen {

THTTPGet::THTTPGet(QObject *parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this)), timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { fail(); });
  connect(manager_, &QNetworkAccessManager::authenticationRequired, this,
          [this](QNetworkReply *, QAuthenticator *auth) {
            // Offered once: a second request means they were refused.
            if (credentialsGiven_ || (UserName.empty() && Password.empty()))
              return;
            credentialsGiven_ = true;
            auth->setUser(toQString(UserName));
            auth->setPassword(toQString(Password));
          });
}

THTTPGet::~THTTPGet() {
  timer_->stop();
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
    delete reply_.data();
  }
  if (file_)
    file_->cancelWriting();
}

void THTTPGet::GetString() { start(false); }
void THTTPGet::GetFile() { start(true); }

void THTTPGet::start(bool toFile) {
  if (reply_)
    return;
  toFile_ = toFile;
  failed_ = aborted_ = false;
  credentialsGiven_ = false;
  text_.clear();
  received_ = 0;
  contentLength_ = -1;
  file_.reset();
  QString address = toQString(URL);
  if (!address.contains(QStringLiteral("://")))
    address.prepend(QStringLiteral("http://"));
  const QUrl url(address, QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) {
    QTimer::singleShot(0, this, [this] {
      if (OnError)
        OnError();
    });
    return;
  }
  if (toFile_) {
    file_ = std::make_unique<QSaveFile>(fileNameToQString(FileName));
    if (!file_->open(QIODevice::WriteOnly)) {
      file_.reset();
      QTimer::singleShot(0, this, [this] {
        if (OnError)
          OnError();
      });
      return;
    }
  }
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  if (!Agent.empty())
    request.setHeader(QNetworkRequest::UserAgentHeader, toQString(Agent));
  if (!Referer.empty())
    request.setRawHeader("Referer", QByteArray::fromStdString(Referer));
  if (PostQuery.empty()) {
    reply_ = manager_->get(request);
  } else {
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    reply_ = manager_->post(request, QByteArray::fromStdString(PostQuery));
  }
  connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
    if (!reply_)
      return;
    // Another status is a failure the reply reports itself when it ends: an
    // abort from here would report a second error, which the toolkit warns
    // of. What comes with it is read and dropped.
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() != 200) {
      failed_ = true;
      return;
    }
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid())
      contentLength_ = length.toLongLong();
    if (contentLength_ > MaxSize)
      fail();
  });
  connect(reply_, &QNetworkReply::readyRead, this, &THTTPGet::received);
  connect(reply_, &QNetworkReply::finished, this, &THTTPGet::finished);
  timer_->start(Timeout);
  if (WaitThread) {
    QEventLoop loop;
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    while (reply_)
      loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void THTTPGet::received() {
  if (!reply_)
    return;
  const QByteArray piece = reply_->readAll();
  received_ += piece.size();
  if (received_ > MaxSize) {
    fail();
    return;
  }
  if (failed_)
    return;
  if (toFile_) {
    if (file_->write(piece) != piece.size()) {
      fail();
      return;
    }
  } else {
    text_.append(piece.constData(), static_cast<std::size_t>(piece.size()));
  }
  if (OnProgress)
    OnProgress(contentLength_, received_);
}

void THTTPGet::fail() {
  if (aborted_)
    return;
  failed_ = aborted_ = true;
  if (reply_)
    reply_->abort(); // finished() follows and reports the error
}

void THTTPGet::finished() {
  QNetworkReply *reply = reply_;
  if (!reply)
    return;
  if (!failed_)
    received();
  timer_->stop();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  bool ok = !failed_ && reply->error() == QNetworkReply::NoError && status == 200;
  reply_ = nullptr;
  reply->deleteLater();
  if (toFile_) {
    ok = ok && (contentLength_ < 0 || received_ == contentLength_);
    if (ok)
      ok = file_->commit();
    else
      file_->cancelWriting();
    file_.reset();
  } else {
    ok = ok && received_ > 0;
  }
  if (!ok) {
    if (OnError)
      OnError();
  } else if (toFile_) {
    if (OnDoneFile)
      OnDoneFile(FileName, received_);
  } else if (OnDoneString) {
    OnDoneString(text_);
  }
}

void THTTPGet::Abort() {
  if (!reply_)
    return;
  // Aborting is not a failure: no event follows.
  timer_->stop();
  QNetworkReply *reply = reply_;
  reply_ = nullptr;
  reply->disconnect(this);
  reply->abort();
  reply->deleteLater();
  if (file_) {
    file_->cancelWriting();
    file_.reset();
  }
}

} // namespace marrowen
