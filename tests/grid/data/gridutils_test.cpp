#include "grid/data/gridutils.h"

#include "classlib/exceptions.h"
#include "classlib/registry.h"

#include <QImage>
#include <QLocale>
#include <QObject>

#include <gtest/gtest.h>

using namespace marrowen;

TEST(GridText, LineBreaksCountAsOneCharacter) {
  const std::string text = "a\r\n\r\rb";
  EXPECT_EQ(CharLength(text, 1), 2); // CR LF
  EXPECT_EQ(CharLength(text, 3), 1); // CR followed by CR
  EXPECT_EQ(CharLength(text, 6), 0);
  EXPECT_EQ(PrevCharLength(text, 1), 1);
  EXPECT_EQ(PrevCharLength(text, 3), 2);
  EXPECT_EQ(PrevCharLength(text, 0), 0);
  std::size_t i = 3;
  EXPECT_TRUE(SkipLineBreak(text, i));
  EXPECT_EQ(i, 4u);
}

TEST(GridText, CheckBoxValues) {
  struct Case {
    std::string values;
    bool valid;
    std::string grayed;
  };
  const Case cases[] = {{"", true, ""},
                        {"Yes", false, ""},
                        {"Yes|", false, ""},
                        {"Yes|No", true, ""},
                        {"Yes|No|?", true, "?"},
                        {"a|b|c|d", false, "c"},
                        {"Yes||Maybe", false, "Maybe"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.values);
    std::string checked, unchecked, grayed;
    EXPECT_EQ(ParseCheckBoxValues(c.values, checked, unchecked, grayed), c.valid);
    EXPECT_EQ(grayed, c.grayed);
  }
  Variant v;
  ValueOfCheckState(2, "on|off|null", v);
  EXPECT_TRUE(v.isNull());
  ValueOfCheckState(0, "on|off", v);
  EXPECT_EQ(v.toString(), "off");
  EXPECT_EQ(CheckStateOfText("ON", "on|off"), 1);
  EXPECT_EQ(CheckStateOfText("x", "on|off"), 2);
  EXPECT_EQ(CheckStateOfValue(Variant::Null(), "on|Null"), 0);
  EXPECT_EQ(CheckStateOfValue(Variant::Null(), "on|null"), 2);
}

TEST(GridText, AcceleratorsAndPictureNames) {
  int position;
  std::string plain;
  StripAccelerator("&File && more", position, plain);
  EXPECT_EQ(plain, "File & more");
  EXPECT_EQ(position, 1);
  StripAccelerator("a&&b&c", position, plain);
  EXPECT_EQ(plain, "a&bc");
  EXPECT_EQ(position, 4);

  std::string name;
  int first, second;
  SplitPictureName("folder", name, first, second);
  EXPECT_EQ(name, "folder");
  EXPECT_EQ(first, -1);
  EXPECT_EQ(second, -1);
  SplitPictureName(MakePictureName("open", 2, 17), name, first, second);
  EXPECT_EQ(name, "open");
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 17);
}

TEST(GridVariants, SameValueComparesNumbersAcrossTypes) {
  EXPECT_TRUE(VarSameValue(Variant(1), Variant(1.0)));
  EXPECT_FALSE(VarSameValue(Variant(1), Variant("1")));
  EXPECT_TRUE(VarSameValue(Variant(), Variant()));
  EXPECT_FALSE(VarSameValue(Variant(), Variant::Null()));
  EXPECT_TRUE(VarSameValue(Variant::Null(), Variant::Null()));
  std::string text;
  VarToText(Variant(42), text);
  EXPECT_EQ(text, "42");
}

TEST(GridNumbers, IncrementedNumbersKeepTheirShape) {
  struct Case {
    std::string text;
    std::size_t caret;
    double increment;
    std::string result;
  };
  const Case cases[] = {{"007", 1, 1, "008"},
                        {"1,999.50", 3, 1, "2,000.50"},
                        {"x 9 y", 2, 1, "10"},
                        {"99,999", 0, 1, "100,000"}, // digits a multiple of three
                        {"1.25", 0, -1, "0.25"},
                        // never written with an exponent, nor with the sum's noise
                        {"0.00001", 0, 0.00001, "0.00002"},
                        {"0.00001", 0, -0.00001, "0.00000"},
                        {"99999999999999999999", 0, 1, "100000000000000000000"},
                        {"0.1", 0, 0.2, "0.3"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t start, length;
    std::string result;
    ASSERT_TRUE(IncrementNumberText(c.text, c.caret, start, length, result, c.increment));
    EXPECT_EQ(result, c.result);
  }
  std::string misplaced = "12,34";
  EXPECT_FALSE(StripThousandSeparators(misplaced));
  EXPECT_EQ(misplaced, "12,34");
}

TEST(GridDates, OrderAndFormatFollowTheLocale) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(DateOrder(), 1);
  EXPECT_DOUBLE_EQ(ParseDateTimeText(" 3/4/2021 "), 44259); // 4 March 2021
  EXPECT_DOUBLE_EQ(ParseDateTimeText("12:30 PM"), 12.5 / 24);
  EXPECT_DOUBLE_EQ(ParseDateTimeText("12:30 AM"), 0.5 / 24);
  for (const char *pm : {"1:30PM", "1:30pm", "1:30 pm"})
    EXPECT_DOUBLE_EQ(ParseDateTimeText(pm), 13.5 / 24) << pm;
  // Where times and dates share their separator, a text is a date when it
  // reads as one.
  for (QLocale::Language language : {QLocale::Finnish, QLocale::Danish}) {
    QLocale::setDefault(QLocale(language));
    SCOPED_TRACE(QLocale().name().toStdString());
    EXPECT_DOUBLE_EQ(ParseDateTimeText("13.30"), 13.5 / 24);
    EXPECT_DOUBLE_EQ(ParseDateTimeText("13:30"), 13.5 / 24);
    EXPECT_DOUBLE_EQ(ParseDateTimeText("4.3.2021"), 44259);
    EXPECT_DOUBLE_EQ(ParseDateTimeText("4.3.2021 13.30"), 44259 + 13.5 / 24);
  }
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(DateOrder(), 2);
  std::string format;
  EditDateFormat(true, format);
  EXPECT_EQ(format, "DD.MM.YYYY");
  EXPECT_DOUBLE_EQ(ParseDateTimeText("4.3.2021"), 44259);
  QLocale::setDefault(saved);
  EXPECT_EQ(FourDigitYearFormat("dd/mm/yy"), "dd/mm/yyyy");
  EXPECT_EQ(FourDigitYearFormat("yyyy"), "yyyy");
  EXPECT_EQ(RemoveAmPm("hh:nn AMPM"), "hh:nn");
  for (const char *bad : {"99999999999:1", "1/2/3 4:99999999999", "13/45/2021"})
    EXPECT_THROW(ParseDateTimeText(bad), EConvertError) << bad;
}

TEST(GridWindows, ContainsWindowWalksTheParents) {
  QObject top, middle(&top), leaf(&middle), other;
  EXPECT_TRUE(ContainsWindow(&leaf, &top));
  EXPECT_TRUE(ContainsWindow(&top, &top));
  EXPECT_FALSE(ContainsWindow(&top, &leaf));
  EXPECT_FALSE(ContainsWindow(&leaf, &other));
}

TEST(GridRegistry, PathsNeedTheRootAfterTwoBackslashes) {
  try {
    OpenRegistryPath("HKEY_CURRENT_USER\\Software", false);
    FAIL();
  } catch (const ERegistryException &e) {
    EXPECT_EQ(e.message(), "Unknown registry key HKEY_CURRENT_USER\\Software");
  }
  std::string root, key;
  ASSERT_TRUE(SplitRegistryPath("\\\\hkey_users\\a\\b", root, key));
  EXPECT_EQ(root, "HKEY_USERS");
  EXPECT_EQ(key, "a\\b");
  EXPECT_EQ(OpenRegistryPath("\\\\HKEY_LOCAL_MACHINE\\x", false), nullptr);
}

TEST(GridCanvas, GrowsToTheLargestAndFreesAtTheLastRelease) {
  TdgMemoryCanvas &canvas = TdgMemoryCanvas::shared();
  canvas.Acquire(10, 40);
  canvas.Acquire(30, 20);
  EXPECT_EQ(canvas.Width(), 30);
  EXPECT_EQ(canvas.Height(), 40);
  canvas.Release();
  EXPECT_NE(canvas.Surface(), nullptr);
  canvas.Release();
  EXPECT_EQ(canvas.Surface(), nullptr);
  int owner;
  canvas.Lock(&owner);
  EXPECT_FALSE(canvas.IsLockedByThisThreadForOther(&owner));
  EXPECT_TRUE(canvas.IsLockedByThisThreadForOther(&canvas));
  canvas.Unlock();
}
