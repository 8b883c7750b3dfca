#include "app/common/memos.h"

#include "app_testing.h"
#include "classlib/utf8.h"

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>

#include <random>
#include <vector>

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
  EXPECT_EQ(status.panelText(1), "Length: 4  Lines: 2") << "a line end counts one";
  memo.insertPlainText("\nd");
  EXPECT_EQ(status.panelText(1), "Length: 6  Lines: 3") << "typed, every break is one LF";
}

// Given or typed, the length counts the characters of the text as it is
// stored: a UTF-8 character one (beyond the Basic Multilingual Plane too), any
// other byte one, a line end one (a typed break is stored as one LF, a given
// CR LF counts one); checked after every step of random insertions,
// deletions and undos.
TEST_F(Memos, LengthCountsTheStoredCharactersAfterAnyEdit) {
  QPlainTextEdit memo;
  MemoStatusBar status;
  bindMemoStatus(&memo, &status);
  const auto length = [&status] { return status.panelText(1).section(' ', 1, 1).toLongLong(); };
  const auto stored = [&memo] {
    const std::string bytes = memoBytes(&memo);
    long long pairs = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos;
         at = bytes.find("\r\n", at + 2))
      ++pairs;
    return static_cast<long long>(utf8::characterCount(bytes)) - pairs;
  };
  setMemoBytes(&memo, "Gr\xc3\xbc\xc3\x9f"
                      "e\r\n\xf0\x9f\x98\x80 \xe9\nz");
  EXPECT_EQ(length(), 11);
  const QString pieces[] = {"a", "\u00fc", "\U0001F600", "\n", "\u4e2d", "\U0001D400x"};
  std::mt19937 random(57);
  for (int step = 0; step < 300; ++step) {
    QTextCursor cursor = memo.textCursor();
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor,
                        static_cast<int>(random() % 40));
    switch (random() % 4) {
    case 0:
    case 1:
      cursor.insertText(pieces[random() % std::size(pieces)]);
      break;
    case 2:
      cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor,
                          static_cast<int>(random() % 5));
      cursor.removeSelectedText();
      break;
    default:
      memo.undo();
    }
    ASSERT_EQ(length(), stored()) << "step " << step << ": " << memo.toPlainText().toStdString();
  }
  // The caret's column counts characters too.
  memo.setPlainText(QString("\U0001F600\u00fcb"));
  memo.moveCursor(QTextCursor::End);
  EXPECT_EQ(status.panelText(0), "Line 1, Column 4");
}

TEST_F(Memos, BytesComeBackUntilEdited) {
  for (const std::string &bytes :
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
  EXPECT_EQ(memoBytes(&memo), "a\nb\ncd");
  setMemoBytes(&memo, "xy");
  memo.clear();
  EXPECT_EQ(memoBytes(&memo), "") << "a memo cleared from code hands back nothing";
}

// A document built from pieces shows what the whole would: a CR LF cut
// between pieces is one break, NULs are left out with a warning.
TEST_F(Memos, BuilderJoinsPiecesAsTheWholeText) {
  QPlainTextEdit memo;
  const std::string whole = std::string("a\r") + "\nb\r" + "c" + std::string(1, '\0') + "\n\r\n";
  bool done = false;
  {
    MemoDocumentBuilder builder(memo.thread(), memo.font());
    using namespace std::string_view_literals;
    for (std::string_view piece : {"a\r"sv, "\nb\r"sv, "c"sv, "\0\n"sv, "\r\n"sv})
      builder.append(piece);
    builder.finish(whole, "Trial Output", &memo, [&](PreparedMemoText prepared) {
      EXPECT_FALSE(prepared.warning.isEmpty());
      adoptMemoDocument(&memo, std::move(prepared), [&](bool) { done = true; });
    });
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_EQ(memo.document()->toPlainText(), "a\nb\nc\n\n");
  EXPECT_EQ(memoBytes(&memo), whole);
  EXPECT_EQ(memoTextBytes(memo.document()->toPlainText()), "a\nb\nc\n\n");

  // Dropped unfinished, a builder delivers nothing.
  auto dropped = std::make_unique<MemoDocumentBuilder>(memo.thread(), memo.font());
  dropped->append("x");
  dropped.reset();
  QTest::qWait(50);
}

// UTF-8 shows as its characters, other bytes through the code page, also
// when the pieces of a job's output cut a character; typed text is UTF-8.
TEST_F(Memos, Utf8ShowsAsItsCharactersAndTypedTextIsKeptInUtf8) {
  const std::string whole = "Gr\xc3\xbc\xc3\x9f"
                            "e \xf0\x9f\x98\x80 caf\xe9\r\n\xd0\x96";
  const QString shown = QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                                          "e \xf0\x9f\x98\x80 caf\xc3\xa9\n\xd0\x96");
  QPlainTextEdit memo;
  setMemoBytes(&memo, whole);
  EXPECT_EQ(memo.toPlainText(), shown);
  bool done = false;
  {
    MemoDocumentBuilder builder(memo.thread(), memo.font());
    for (std::size_t at = 0; at < whole.size(); at += 3)
      builder.append(std::string_view(whole).substr(at, 3));
    builder.finish(whole, "Trial Output", &memo, [&](PreparedMemoText prepared) {
      adoptMemoDocument(&memo, std::move(prepared), [&](bool) { done = true; });
    });
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_EQ(memo.document()->toPlainText(), shown);
  EXPECT_EQ(memoBytes(&memo), whole);
  memo.moveCursor(QTextCursor::End);
  memo.insertPlainText(QString::fromUtf8("\xc3\xa9\xf0\x9f\x98\x80"));
  EXPECT_EQ(memoBytes(&memo), "Gr\xc3\xbc\xc3\x9f"
                              "e \xf0\x9f\x98\x80 caf\xc3\xa9\n\xd0\x96\xc3\xa9\xf0\x9f\x98\x80");
}

// A memo given the start of a text shows it at once and takes the rest in
// slices, read-only meanwhile; stopped, it keeps what it shows as its bytes.
TEST_F(Memos, MemoTakesTheRestOfATextItShowsTheStartOf) {
  std::string whole;
  for (int i = 0; whole.size() < (300 << 10); ++i)
    whole += "line " + std::to_string(i) + "\r\n";
  whole += std::string("x\0y\r", 4);
  const qsizetype cut = whole.find("\r\n", 1000) + 1; // between CR and LF
  auto prepared = [&] {
    PreparedMemoText text;
    text.document = std::make_unique<QTextDocument>();
    text.document->setDocumentLayout(new QPlainTextDocumentLayout(text.document.get()));
    text.document->setPlainText(QString::fromLatin1(whole.substr(0, cut - 1)) + "\n");
    text.bytes = QByteArray(whole.data(), static_cast<qsizetype>(whole.size()));
    text.shown = cut;
    text.endsInCr = true;
    return text;
  };

  QPlainTextEdit memo;
  std::vector<bool> ends;
  auto ended = [&](bool whole) { ends.push_back(whole); };
  adoptMemoDocument(&memo, prepared(), ended);
  EXPECT_TRUE(memo.isReadOnly());
  EXPECT_EQ(memoBytes(&memo), whole) << "the bytes are whole while the rest goes in";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ends.empty(); }, 5000));
  EXPECT_EQ(ends, std::vector<bool>{true});
  EXPECT_FALSE(memo.isReadOnly());
  EXPECT_FALSE(memoEdited(&memo));
  std::string lines = whole;
  for (std::size_t at = 0; (at = lines.find('\r', at)) != std::string::npos;)
    lines.erase(at, lines.compare(at, 2, "\r\n") == 0 ? 1 : 0), lines[at] = '\n', ++at;
  EXPECT_EQ(memoTextBytes(memo.document()->toPlainText()), lines.erase(lines.size() - 3, 1))
      << "the CR LF cut at the start of the rest is one break, the NUL is left out";

  bool goOn = true;
  adoptMemoDocument(&memo, prepared(), ended, [&] { return goOn; });
  goOn = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return ends.size() == 2; }, 5000));
  EXPECT_FALSE(ends.back());
  EXPECT_FALSE(memo.isReadOnly());
  EXPECT_EQ(memoBytes(&memo), whole.substr(0, cut)) << "stopped, it hands back what it shows";

  adoptMemoDocument(&memo, prepared(), ended);
  memo.clear();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ends.size() == 3; }, 5000));
  EXPECT_FALSE(ends.back()) << "a memo given another text drops the rest of the old one";
  EXPECT_EQ(memoBytes(&memo), "");
  EXPECT_FALSE(memo.isReadOnly());
}

} // namespace
} // namespace marrowen
