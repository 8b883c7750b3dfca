#include "app/main/helpaccess.h"

#include "app/common/appicons.h"
#include "app/common/launcher.h"
#include "app/main/mainform.h"
#include "classlib/exceptions.h"
#include "components/dialogrunner.h"
#include "engine/registryhelpers.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace marrowen {

namespace {

QPointer<THelpViewer> theViewer;

QDir helpFolder() {
  return QDir(fileNameToQString(getApplicationFolder()) + QStringLiteral("help"));
}

bool helpFolderThere() {
  const QDir help = helpFolder();
  if (help.exists())
    return true;
  showMessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Marrowen"),
                 QStringLiteral("The help pages are missing: %1").arg(help.path()));
  return false;
}

int showFile(const QString &file) {
  if (!QFileInfo(file).isFile())
    return 0;
  THelpViewer::open().showPage(file);
  return 1;
}

} // namespace

QString helpPageFor(int context) {
  const QDir help = helpFolder();
  QFile map(help.filePath(QStringLiteral("contexts.txt")));
  if (!map.open(QIODevice::ReadOnly | QIODevice::Text))
    return {};
  while (!map.atEnd()) {
    const QString line = QString::fromUtf8(map.readLine()).trimmed();
    if (line.isEmpty() || line.startsWith('#'))
      continue;
    const QStringList fields = line.split(' ', Qt::SkipEmptyParts);
    bool number = false;
    if (fields.size() >= 2 && fields[0].toInt(&number) == context && number) {
      const QString page = help.filePath(fields[1]);
      return QFileInfo(page).isFile() ? page : QString();
    }
  }
  return {};
}

int showHelpContents() {
  if (!helpFolderThere())
    return 0;
  return showFile(helpFolder().filePath(QStringLiteral("index.html")));
}

int showHelpIndex() {
  if (!helpFolderThere())
    return 0;
  const QString index = helpFolder().filePath(QStringLiteral("keywords.html"));
  return QFileInfo(index).isFile() ? showFile(index) : showHelpContents();
}

int showHelpContext(int context) {
  if (context < 0)
    throw ERangeError("Range check error");
  if (!helpFolderThere())
    return 0;
  const QString page = helpPageFor(context);
  return page.isEmpty() ? showHelpContents() : showFile(page);
}

THelpViewer *THelpViewer::instance() { return theViewer; }

THelpViewer &THelpViewer::open() {
  // Asked for from a modal dialog, the window belongs to that dialog (and
  // goes with it): any other window would be shut out until the dialog ends.
  QWidget *owner = QApplication::activeModalWidget();
  if (!owner)
    owner = TmainForm::instance();
  if (!theViewer)
    theViewer = new THelpViewer(owner);
  else if (theViewer->parentWidget() != owner)
    theViewer->setParent(owner, theViewer->windowFlags());
  theViewer->show();
  theViewer->raise();
  theViewer->activateWindow();
  return *theViewer;
}

THelpViewer::THelpViewer(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("helpViewer"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Help"));
  setWindowIcon(programIcon());
  resize(640, 560);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("helpBrowser"));
  browser_->setOpenLinks(false);
  auto button = [this](const char *name, const QString &text) {
    auto *b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };
  QPushButton *contents = button("contentsButton", QStringLiteral("&Contents"));
  QPushButton *index = button("indexButton", QStringLiteral("&Index"));
  QPushButton *back = button("backButton", QStringLiteral("&Back"));
  QPushButton *forward = button("forwardButton", QStringLiteral("&Forward"));
  QPushButton *close = button("closeButton", QStringLiteral("Close"));
  back->setEnabled(false);
  forward->setEnabled(false);
  auto *buttons = new QHBoxLayout;
  for (QPushButton *b : {contents, index, back, forward})
    buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(close);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_, 1);
  connect(contents, &QPushButton::clicked, this, [] { showHelpContents(); });
  connect(index, &QPushButton::clicked, this, [] { showHelpIndex(); });
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  // Closed with Escape, as the dialogs of the program are.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);
  connect(browser_, &QTextBrowser::anchorClicked, this, &THelpViewer::linkClicked);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : QStringLiteral("Help - ") + title);
  });
}

THelpViewer::~THelpViewer() = default;

void THelpViewer::showPage(const QString &fileName) {
  browser_->setSource(QUrl::fromLocalFile(fileName));
}

QString THelpViewer::page() const { return browser_->source().toLocalFile(); }

void THelpViewer::linkClicked(const QUrl &url) {
  // Pages and their anchors stay here; the web goes to the browser.
  if (url.isRelative() || url.isLocalFile()) {
    const QUrl target = browser_->source().resolved(url);
    if (target.path() == browser_->source().path() && target.hasFragment())
      browser_->scrollToAnchor(target.fragment());
    else
      browser_->setSource(target);
    return;
  }
  launcher().openUrl(url.toString());
}

} // namespace marrowen
