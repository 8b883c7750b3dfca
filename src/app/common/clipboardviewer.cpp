#include "app/common/clipboardviewer.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

namespace marrowen {

QWidget *showClipboardViewer() {
  static QPointer<QWidget> viewer;
  if (!viewer) {
    viewer = new QWidget(nullptr, Qt::Window);
    viewer->setObjectName(QStringLiteral("clipboardViewer"));
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(QStringLiteral("Clipboard"));
    viewer->resize(480, 320);
    auto *text = new QPlainTextEdit(viewer);
    text->setObjectName(QStringLiteral("clipboardText"));
    text->setReadOnly(true);
    auto *layout = new QVBoxLayout(viewer);
    layout->addWidget(text);
    auto refresh = [text] { text->setPlainText(QApplication::clipboard()->text()); };
    QObject::connect(QApplication::clipboard(), &QClipboard::dataChanged, text, refresh);
    refresh();
  }
  viewer->show();
  viewer->raise();
  return viewer;
}

} // namespace marrowen
