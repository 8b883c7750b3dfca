#include "app/memos.h"

#include "app_testing.h"

#include <QPlainTextEdit>
#include <QTextEdit>

namespace marrowen {
namespace {

using testing::AppTest;
using Memos = AppTest;

TEST_F(Memos, PanelsCountTheTextAsStored) {
  QPlainTextEdit memo;
  MemoStatusBar status;
  bindMemoStatus(&memo, &status);
  setMemoBytes(&memo, "ab\r\nc");
  memo.moveCursor(QTextCursor::End);
  EXPECT_EQ(status.panelText(0), "Line 2, Column 2");
  EXPECT_EQ(status.panelText(1), "Length: 5  Lines: 2");
  memo.insertPlainText("\nd");
  EXPECT_EQ(status.panelText(1), "Length: 8  Lines: 3") << "a typed break counts as CR LF";
}

TEST_F(Memos, BytesComeBackUntilEdited) {
  for (const std::string bytes :
       {std::string("a\nb\rc"), std::string("x\0y", 3), std::string("\x80\xff\n")}) {
    QTextEdit memo;
    const QString warning = setMemoBytes(&memo, bytes, "Trial Input");
    EXPECT_EQ(warning.isEmpty(), bytes.find('\0') == std::string::npos);
    EXPECT_EQ(memoBytes(&memo), bytes);
  }
  QPlainTextEdit memo;
  setMemoBytes(&memo, "a\nb\rc");
  EXPECT_EQ(memo.toPlainText(), "a\nb\nc") << "LF, CR and CR LF all show as breaks";
  memo.moveCursor(QTextCursor::End);
  memo.insertPlainText("d");
  EXPECT_EQ(memoBytes(&memo), "a\r\nb\r\ncd");
}

} // namespace
} // namespace marrowen
