#pragma once

#include "filters/debugfilter.h"

#include <QWidget>

#include <memory>

class QPlainTextEdit;

namespace marrowen {

class MemoStatusBar;
class TFormInfo;

// Shows what a debug filter passes on. Closing only hides the window: its
// filter keeps it, and a later job shows it again. The number in the caption
// counts the windows open, so a window made after one was closed reuses its
// number.
class TdebugWindowForm : public QWidget, public DebugWindow {
  Q_OBJECT
public:
  explicit TdebugWindowForm(QWidget *parent = nullptr);
  ~TdebugWindowForm() override;
  // A window the debug filter holds; freed when the filter lets go, or, when
  // it is on screen then, once it is closed.
  static std::shared_ptr<TdebugWindowForm> createShared();
  static int openCount();

  void clearBuffer() override;
  int addLine(const std::string &text) override;
  void show() override;

  QPlainTextEdit &buffer() const { return *buffer_; }
  MemoStatusBar &bufferStatus() const { return *bufferStatus_; }

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  QPlainTextEdit *buffer_;
  MemoStatusBar *bufferStatus_;
  bool hasLines_ = false;
  bool counted_ = false;
  std::unique_ptr<TFormInfo> formInfo_;
};

} // namespace marrowen
