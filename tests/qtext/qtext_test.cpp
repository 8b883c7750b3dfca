#include "qtext/qtext.h"

#include <gtest/gtest.h>

using namespace marrowen;

TEST(FileNameText, EveryNameComesBackByteForByte) {
  for (const std::string &name :
       {std::string("/tmp/plain name.txt"), std::string("/tmp/caf\xc3\xa9 \xf0\x9f\x93\x84"),
        std::string("/tmp/caf\xe9-latin1"), std::string("/tmp/\xc3(\xed\xa0\x80\xff\xf5!"),
        std::string("/tmp/trailing-lead\xe2\x82")}) {
    const QString text = fileNameToQString(name);
    EXPECT_EQ(fileNameFromQString(text), name);
  }
  EXPECT_EQ(fileNameToQString("/tmp/caf\xc3\xa9"), QString::fromUtf8("/tmp/caf\xc3\xa9"));
}

TEST(FileNameText, ALoneEscapeCharacterBecomesItsByte) {
  // A lone low surrogate from the user's side encodes like any other
  // character would have to: as its escaped byte.
  EXPECT_EQ(fileNameFromQString(QString(QChar(0xDCE9))), "\xe9");
  EXPECT_EQ(fileNameFromQString(QString::fromUtf16(u"\U0001F4C4")), "\xf0\x9f\x93\x84");
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
