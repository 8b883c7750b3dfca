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
