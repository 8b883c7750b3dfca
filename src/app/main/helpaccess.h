#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;
class QUrl;

namespace marrowen {

// The help pages live in the program folder's "help/": "index.html" the
// contents, "keywords.html" the index, and the page of each help context as
// "contexts.txt" there names it (one "<context> <page>" a line). They show
// in the program's own help window. Each show gives 1 when a page was shown,
// 0 when not; without the folder an error box says so.
int showHelpContents();
int showHelpIndex();
// A negative context raises ERangeError. A context without a page of its own
// shows the contents.
int showHelpContext(int context);

// The full name of the page of `context`; empty when "contexts.txt" names
// none or the page is not there.
QString helpPageFor(int context);

// The one help window of the run: the pages with their links, and buttons
// for the contents, the index and going back and forth. Links to the web
// open in the browser.
class THelpViewer : public QWidget {
  Q_OBJECT
public:
  // The window, made on first use; none until then.
  static THelpViewer *instance();
  static THelpViewer &open();
  explicit THelpViewer(QWidget *parent = nullptr);
  ~THelpViewer() override;

  void showPage(const QString &fileName);
  // The file of the page shown.
  QString page() const;
  QTextBrowser &browser() const { return *browser_; }

private:
  void linkClicked(const QUrl &url);

  QTextBrowser *browser_;
};

} // namespace marrowen
