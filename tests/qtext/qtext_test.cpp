#include "qtext/qtext.h"

#include <QUrl>

#include <gtest/gtest.h>

using namespace marrowen;

// A name shows a UTF-8 letter as itself and any other byte as U+DC00 plus the
// byte, never as a letter; the text turns back into the very bytes, so two
// files that differ only there show apart and each is found again.
TEST(FileNameText, ShowsBytesNoUtf8HoldsApartFromLettersAndTakesThemBack) {
  const struct {
    std::string bytes;
    const char16_t *shown;
  } names[] = {
      {"/tmp/plain name.txt", u"/tmp/plain name.txt"},
      {"/tmp/caf\xc3\xa9 \xf0\x9f\x93\x84", u"/tmp/caf\u00e9 \U0001F4C4"},
      {"/tmp/caf\xe9-latin1\xff", u"/tmp/caf\xdce9-latin1\xdcff"},
      {"/tmp/\xc3(\xed\xa0\x80\x80\xf5!", u"/tmp/\xdcc3(\xdced\xdca0\xdc80\xdc80\xdcf5!"},
      {"/tmp/trailing-lead\xe2\x82", u"/tmp/trailing-lead\xdce2\xdc82"},
  };
  for (const auto &name : names) {
    SCOPED_TRACE(name.bytes);
    const QString text = fileNameToQString(name.bytes);
    EXPECT_EQ(text, QString::fromUtf16(name.shown));
    EXPECT_EQ(fileNameFromQString(text), name.bytes);
    EXPECT_EQ(fileNameFromQString(text + u'x', name.bytes), name.bytes + "x");
    EXPECT_EQ(fileNameToText(name.bytes), name.bytes);
  }
  EXPECT_NE(fileNameToQString("lat\xe9n"), fileNameToQString("lat\xc3\xa9n"));
  EXPECT_EQ(fileNameFromQString(QString::fromUtf16(u"/\u65e5 \u00e9")), "/\xe6\x97\xa5 \xc3\xa9");
}

// The desktop opens a name Qt cannot spell by a URL that keeps its bytes.
TEST(FileNameText, OpenTargetsNameTheFileItself) {
  EXPECT_EQ(fileNameToOpenTarget("/tmp/caf\xc3\xa9 x.txt"),
            QString::fromUtf8("/tmp/caf\xc3\xa9 x.txt"));
  const QUrl url(fileNameToOpenTarget("/tmp/caf\xe9 %x.txt"));
  ASSERT_TRUE(url.isLocalFile());
  EXPECT_EQ(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString(),
            "/tmp/caf\xe9 %x.txt");
}

// Engine text shows valid UTF-8 as its characters and any other byte as the
// code page's; a line crosses to Unicode and back in the encoding it came in,
// counting what that encoding cannot hold.
TEST(EngineText, ShowsUtf8AndTheCodePageAndKeepsEachLinesEncoding) {
  EXPECT_EQ(toQString("caf\xc3\xa9 caf\xe9 \x80 \xf0\x9f\x98\x80"),
            QString::fromUtf8("caf\xc3\xa9 caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"));
  for (const std::string line : {"stra\xc3\x9f"
                                 "e \xf0\x9f\x98\x80",
                                 "caf\xe9 \x80", "plain"}) {
    const LineEncoding encoding = lineEncodingOf(line);
    std::int64_t lost = 0;
    EXPECT_EQ(lineFromQString(lineToQString(line, encoding), encoding, lost), line);
    EXPECT_EQ(lost, 0);
  }
  std::int64_t lost = 0;
  EXPECT_EQ(lineFromQString(QString::fromUtf8("\xd0\x96\xc3\xa9") + QChar(0xD800),
                            LineEncoding::CodePage, lost),
            "?\xe9?");
  EXPECT_EQ(lost, 2);
  EXPECT_EQ(lineFromQString(QString(QChar(0xDC00)) + "a", LineEncoding::Utf8, lost), "?a");
  EXPECT_EQ(lost, 3);
  EXPECT_EQ(clipboardBytes(QString::fromUtf8("\xd0\x96")), "\xd0\x96");
}

// What the user gives is UTF-8, letters of every script; a field shown from
// stored bytes gives those bytes back while its text is unchanged, whatever
// they are (code page, UTF-8, a NUL), and the typed text's own once changed.
TEST(UserText, TypedTextIsUtf8AndAnUnchangedFieldKeepsItsBytes) {
  EXPECT_EQ(fromQString(QStringLiteral("na\u00efve \u65e5\u672c \u20ac\U0001F600")),
            "na\xc3\xafve \xe6\x97\xa5\xe6\x9c\xac \xe2\x82\xac\xf0\x9f\x98\x80");
  for (const std::string &stored : {std::string("caf\xe9"), std::string("caf\xc3\xa9"),
                                    std::string("a\0b", 3), std::string("\x80\x81\xff")}) {
    EXPECT_EQ(bytesForShownText(toQString(stored), stored), stored);
    const QString edited = toQString(stored) + QStringLiteral("\u00fc");
    EXPECT_EQ(bytesForShownText(edited, stored), fromQString(edited));
  }
}
