#include "grid/data/storage.h"

#include "classlib/componentstream.h"
#include "classlib/exceptions.h"

#include <QImage>

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace marrowen;

namespace {

std::string i32(std::int32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i)
    s.push_back(static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF));
  return s;
}
std::string tag(int kind) { return std::string(1, static_cast<char>(kind)); }
std::string text(std::string_view t) {
  return tag(1) + i32(static_cast<int>(t.size())) + std::string(t);
}

std::string written(const Tdg2DStorage &storage) {
  std::string out;
  storage.WriteValues(out);
  return out;
}

Picture redSquare() {
  auto image = std::make_shared<QImage>(2, 2, QImage::Format_RGB32);
  image->fill(qRgb(255, 0, 0));
  return image;
}

std::string bitmapBytes(const Picture &picture) {
  Tdg2DStorage one(0, 1);
  one.SetValue(1, 1, Variant(picture), ckPicture);
  const std::string all = written(one);
  return all.substr(4 + 4 + 1 + 4 + 4 + 4); // row, count, tag, number, end, picture count
}

// The grid's typical set-up: room for its rows and columns.
struct Grid {
  Tdg2DStorage storage{4, 10};
};

} // namespace

TEST(StorageData, WritesOnlyTrimmedRowsAndEachPictureOnce) {
  EXPECT_EQ(written(Tdg2DStorage()), std::string(8, '\0'));

  Grid g;
  const Picture picture = redSquare();
  g.storage.SetValue(1, 2, Variant("ab"), ckText);
  g.storage.SetValue(3, 2, Variant::Null(), ckNull); // column 2 stays a gap
  g.storage.SetValue(4, 2, Variant(), ckText);       // trailing empty: not written
  g.storage.SetValue(1, 3, Variant(""), ckText);
  g.storage.SetValue(2, 3, Variant(7), ckInteger);
  g.storage.SetValue(1, 5, Variant(picture), ckPicture);
  g.storage.SetValue(2, 5, Variant(picture), ckPicture);
  g.storage.SetValue(3, 5, Variant("pic"), ckPictureName);
  g.storage.SetValue(2, 4, Variant("gone"), ckText);
  g.storage.SetValue(2, 4, Variant(), ckText); // a row emptied again is skipped
  const std::string expected = i32(2) + i32(3) + text("ab") + tag(0) + tag(5) +      //
                               i32(3) + i32(2) + text("") + tag(2) + i32(7) +        //
                               i32(5) + i32(3) + tag(3) + i32(1) + tag(3) + i32(1) + //
                               tag(4) + i32(3) + "pic" + i32(0) + i32(1) + bitmapBytes(picture);
  EXPECT_EQ(written(g.storage), expected);

  Grid back;
  back.storage.ReadValues(expected);
  EXPECT_EQ(written(back.storage), expected);
  EXPECT_TRUE(back.storage.GetValue(3, 2).isNull()); // Null survives
  const Picture first = back.storage.GetValue(1, 5).toPicture();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, back.storage.GetValue(2, 5).toPicture());
  EXPECT_EQ(first->pixel(1, 1), picture->pixel(1, 1));
  EXPECT_EQ(back.storage.GetValue(3, 5).toString(), "pic");
  EXPECT_EQ(back.storage.GetKind(3, 5), ckPictureName);
}

TEST(StorageData, TargetColumnsAndExtraPictures) {
  Grid g;
  g.storage.SetValue(1, 1, Variant("keep"), ckText);
  g.storage.SetValue(3, 1, Variant("old"), ckText);
  g.storage.SetValue(3, 2, Variant("old too"), ckText);
  TdgIntegerList targets;
  targets.Add(3);
  targets.Add(0);
  const Picture extra = redSquare();
  const std::string data = i32(1) + i32(3) + text("one") + text("two") + text("three") + i32(0) +
                           i32(1) + bitmapBytes(extra);
  g.storage.ReadValues(data, &targets);
  EXPECT_EQ(g.storage.GetValue(1, 1).toString(), "keep");
  EXPECT_EQ(g.storage.GetValue(2, 1).type(), varEmpty);
  EXPECT_EQ(g.storage.GetValue(3, 1).toString(), "three");
  EXPECT_EQ(g.storage.GetKind(3, 2), ckEmpty);
}

TEST(StorageData, DamageRaisesWhereItIsAndKeepsWhatWasStored) {
  const Picture picture = redSquare();
  const std::string sample = i32(1) + i32(2) + text("xy") + tag(2) + i32(-4) + i32(2) + i32(1) +
                             tag(3) + i32(1) + i32(0) + i32(1) + bitmapBytes(picture);
  const auto expectKept = [](const Grid &g) {
    EXPECT_EQ(g.storage.GetValue(2, 3).toString(), "before");
    EXPECT_EQ(g.storage.GetKind(1, 1), ckEmpty);
  };
  for (std::size_t n = 0; n < sample.size(); ++n) {
    SCOPED_TRACE(n);
    Grid g;
    g.storage.SetValue(2, 3, Variant("before"), ckText);
    EXPECT_THROW(g.storage.ReadValues(std::string_view(sample).substr(0, n)), EReadError);
    expectKept(g);
  }
  struct Case {
    const char *what;
    std::string data;
    std::size_t at;
  };
  const Case cases[] = {
      {"negative length", i32(1) + i32(1) + tag(1) + i32(-1) + i32(0) + i32(0), 9},
      {"length past the end", i32(1) + i32(1) + tag(1) + i32(100) + i32(0) + i32(0), 9},
      {"cell count past the end", i32(1) + i32(1000) + tag(0) + i32(0) + i32(0), 4},
      {"tag above 5", i32(1) + i32(1) + tag(6) + i32(0) + i32(0), 8},
      {"picture number 0", i32(1) + i32(1) + tag(3) + i32(0) + i32(0) + i32(0), 9},
      {"picture number past the bytes", i32(1) + i32(1) + tag(3) + i32(1 << 30) + i32(0) + i32(0),
       9},
      {"not a bitmap", i32(0) + i32(1) + "XM" + std::string(60, '\0'), 8},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Grid g;
    g.storage.SetValue(2, 3, Variant("before"), ckText);
    try {
      g.storage.ReadValues(c.data);
      ADD_FAILURE() << "no error";
    } catch (const EReadError &e) {
      EXPECT_EQ(e.position(), c.at);
    }
    expectKept(g);
  }
}

TEST(StorageData, RowsAndColumnsTheGridLacksAreDropped) {
  Tdg2DStorage storage(2, 3);
  const std::string data = i32(4) + i32(1) + text("row 4") + i32(-1) + i32(1) + text("row -1") +
                           i32(3) + i32(1) + text("row 3") + i32(0) + i32(0);
  storage.ReadValues(data);
  EXPECT_EQ(storage.GetValue(1, 3).toString(), "row 3");
  EXPECT_LE(storage.RowSlots(), 4);
}

TEST(StorageValues, ConversionAndGrowthRules) {
  Grid g;
  g.storage.SetValue(1, 1, Variant("text"), ckText);
  EXPECT_THROW(g.storage.SetValue(1, 1, Variant("x1"), ckInteger), EConvertError);
  EXPECT_EQ(g.storage.GetValue(1, 1).toString(), "text");
  EXPECT_EQ(g.storage.GetKind(1, 1), ckText);

  Tdg2DStorage empty;
  empty.SetValue(5, 5, Variant(), ckText);
  EXPECT_EQ(empty.RowSlots(), 0);

  const Picture picture = redSquare();
  g.storage.SetValue(2, 1, Variant(picture), ckPicture);
  const long held = picture.use_count();
  g.storage.SetValue(2, 1, Variant(picture), ckPicture);
  EXPECT_EQ(picture.use_count(), held);
  g.storage.SetValue(2, 1, Variant(3), ckInteger);
  EXPECT_EQ(picture.use_count(), held - 1);
}

TEST(StorageRows, SaveRestoreAndRemovalMatchAReferenceTable) {
  std::mt19937 random(11);
  Tdg2DStorage storage(3, 6);
  std::map<std::pair<int, int>, std::string> model; // (row, col) -> text
  std::map<int, std::string> saved;
  bool haveSaved = false;
  int savedRow = 0;
  for (int step = 0; step < 3000; ++step) {
    const int op = random() % 10;
    const int r = 1 + random() % 8, c = 1 + random() % 6;
    if (op < 5) {
      const std::string t = std::to_string(step);
      storage.SetValue(c, r, Variant(t), ckText);
      model[{r, c}] = t;
    } else if (op == 5) {
      storage.SetValue(c, r, Variant(), ckText);
      model.erase({r, c});
    } else if (op == 6) {
      storage.SaveRow(r);
      saved.clear();
      for (auto &[key, t] : model)
        if (key.first == r)
          saved[key.second] = t;
      haveSaved = true;
      savedRow = r;
    } else if (op == 7 && haveSaved) {
      storage.RestoreRow(savedRow);
      std::erase_if(model, [&](auto &e) { return e.first.first == savedRow; });
      for (auto &[col, t] : saved)
        model[{savedRow, col}] = t;
      haveSaved = false;
    } else if (op == 8) {
      const int to = r + random() % 3;
      storage.RemoveRows(r, to);
      std::map<std::pair<int, int>, std::string> next;
      for (auto &[key, t] : model)
        if (key.first < r)
          next[key] = t;
        else if (key.first > to)
          next[{key.first - (to - r + 1), key.second}] = t;
      model = next;
      haveSaved = haveSaved && savedRow < r;
    } else if (op == 9) {
      const int to = c + random() % 2;
      storage.RemoveCols(c, to);
      std::map<std::pair<int, int>, std::string> next;
      for (auto &[key, t] : model)
        if (key.second < c)
          next[key] = t;
        else if (key.second > to)
          next[{key.first, key.second - (to - c + 1)}] = t;
      model = next;
      haveSaved = false;
    }
    for (int row = 1; row <= 10; ++row)
      for (int col = 1; col <= 8; ++col) {
        auto it = model.find({row, col});
        const Variant v = storage.GetValue(col, row);
        ASSERT_EQ(it == model.end() ? std::string("<empty>") : it->second,
                  v.isEmpty() ? std::string("<empty>") : v.toString())
            << "step " << step << " op " << op << " at " << col << "," << row;
      }
  }
  storage.RemoveRows(2, 1);
  storage.RemoveCols(5, 4);
}

TEST(StorageRows, RestoringARowThatDidNotExistEmptiesIt) {
  Tdg2DStorage storage(2, 2);
  storage.SetValue(1, 1, Variant("a"), ckText);
  storage.SaveRow(2);
  storage.SetValue(1, 2, Variant("typed"), ckText);
  storage.RestoreRow(2);
  EXPECT_EQ(storage.GetKind(1, 2), ckEmpty);
  EXPECT_EQ(storage.GetValue(1, 1).toString(), "a");

  Tdg2DStorage copy(2, 2);
  copy.Assign(&storage);
  EXPECT_EQ(written(copy), written(storage));
}
