#include "app/main/aboutbox.h"

#include "app/common/appicons.h"
#include "app/common/screenfit.h"
#include "app/common/translateform.h"
#include "app/main/tipoftheday.h"
#include "classlib/paths.h"
#include "classlib/program.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace marrowen {

TABox::TABox(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ABox"));
  resize(640, 440);
  auto *banner = new QLabel(this);
  banner->setObjectName(QStringLiteral("banner"));
  banner->setText(QStringLiteral("<h2>%1</h2>").arg(toQString(program::displayName)));
  banner->setAlignment(Qt::AlignCenter);
  banner->setAutoFillBackground(true);
  QPalette bannerPalette = banner->palette();
  bannerPalette.setColor(QPalette::Window, QColor(0, 0, 128));
  bannerPalette.setColor(QPalette::WindowText, Qt::white);
  banner->setPalette(bannerPalette);
  banner->setMinimumHeight(60);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  auto *application = new QWidget;
  application->setObjectName(QStringLiteral("applicationSheet"));
  auto *icon = new QLabel(application);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setPixmap(programIcon().pixmap(32, 32));
  productName_ = new QLabel(application);
  productName_->setObjectName(QStringLiteral("ProductName"));
  auto *comments = new QLabel(QStringLiteral("A text-transformation workbench"), application);
  comments->setObjectName(QStringLiteral("Comments"));
  auto *web = new QPushButton(QStringLiteral("&Web site"), application);
  web->setObjectName(QStringLiteral("webButton"));
  web->setToolTip(QStringLiteral("Visit the Ostrevan web site"));
  auto *products = new QPushButton(QStringLiteral("Other &products"), application);
  products->setObjectName(QStringLiteral("productsButton"));
  products->setToolTip(QStringLiteral("Information about other Ostrevan applications"));
  auto *appLayout = new QVBoxLayout(application);
  auto *nameRow = new QHBoxLayout;
  nameRow->addWidget(icon);
  nameRow->addWidget(productName_, 1);
  appLayout->addLayout(nameRow);
  appLayout->addWidget(comments);
  appLayout->addStretch();
  auto *linkRow = new QHBoxLayout;
  linkRow->addWidget(web);
  linkRow->addWidget(products);
  linkRow->addStretch();
  appLayout->addLayout(linkRow);
  pages_->addTab(application, QStringLiteral("Application"));
  auto *notes = new QWidget;
  notes->setObjectName(QStringLiteral("releaseNotesSheet"));
  whatsnew_ = new QTextEdit(notes);
  whatsnew_->setObjectName(QStringLiteral("whatsnew"));
  whatsnew_->setReadOnly(true);
  // The notes are laid out as plain text, line by line.
  whatsnew_->setLineWrapMode(QTextEdit::NoWrap);
  whatsnew_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  (new QVBoxLayout(notes))->addWidget(whatsnew_);
  pages_->addTab(notes, QStringLiteral("Release Notes"));
  auto *ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);

  auto *body = new QHBoxLayout;
  body->addWidget(pages_, 1);
  body->addWidget(ok, 0, Qt::AlignTop);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(banner);
  layout->addLayout(body, 1);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(web, &QPushButton::clicked, this, [this] {
    if (webLink)
      webLink(3);
  });
  connect(products, &QPushButton::clicked, this, [this] {
    if (webLink)
      webLink(4);
  });
  connect(pages_, &QTabWidget::currentChanged, this, &TABox::PageControlChange);

  translateForm(this);
  pages_->setCurrentIndex(0);
  productName_->setText(
      toQString(std::string(program::displayName) + " v" + std::string(program::version)));
  setWindowTitle(toQString(translateFormat(190, "About %s", {program::displayName})));
  // The box stands in the middle of the screen, wherever the main window is.
  centreInAvailableArea(*this);
}

QString TABox::productName() const { return productName_->text(); }
QString TABox::releaseNotes() const { return whatsnew_->toPlainText(); }

void TABox::PageControlChange(int index) {
  if (index != 1)
    return;
  // The notes are installed beside the program; the folder it was started
  // from may be any.
  QFile file(
      findFileIgnoringCase(fileNameToQString(programFolder()), QStringLiteral("whatsnew.txt")));
  if (!file.open(QIODevice::ReadOnly)) {
    showMessageBox(
        this, QMessageBox::Critical, QApplication::applicationName(),
        toQString(Format("Cannot open file \"%s\". %s",
                         {fromQString(file.fileName()), fromQString(file.errorString())})));
    return;
  }
  const QByteArray notes = file.readAll();
  whatsnew_->setPlainText(
      toQString(std::string_view(notes.constData(), static_cast<std::size_t>(notes.size()))));
}

} // namespace marrowen
