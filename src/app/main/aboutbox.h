#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QTabWidget;
class QTextEdit;

namespace marrowen {

// The product's name and version, and the release notes read from
// "whatsnew.txt" (any letter case) in the current folder when their page
// opens. A missing file shows an error box and leaves the box open.
class TABox : public QDialog {
  Q_OBJECT
public:
  explicit TABox(QWidget *parent = nullptr);

  // Opens the maker's site (3) or its page of products (4); none leaves the
  // buttons doing nothing.
  std::function<void(int link)> webLink;

  QString productName() const;
  QTabWidget &pages() const { return *pages_; }
  QString releaseNotes() const;
  void PageControlChange(int index);

private:
  QTabWidget *pages_;
  QLabel *productName_;
  QTextEdit *whatsnew_;
};

} // namespace marrowen
