#include "grid/data/links.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace marrowen;

namespace {

struct CountingLink : TdgDateTimeLink {
  TdgDateTimeDefComponent *from = nullptr;
  int told = 0;
  void ComponentDestroyed(TdgDateTimeDefComponent *c) override {
    ++told;
    c->UnregisterLink(this, true); // a link may leave in its hook
  }
};

struct Masks : TdgMaskDefsComponent {
  int registered = 0;
  void RegisterLink(TdgMaskLink *link) override {
    ++registered;
    link->component_ = this;
  }
  void UnregisterLink(TdgMaskLink *link) override {
    --registered;
    link->component_ = nullptr;
  }
  Variant FindMask(const Variant &name) override { return Variant("mask of " + name.toString()); }
};

// A holder that forgets the component when it goes, as grids do.
struct Holder : TComponent {
  TdgMaskLink link;
  void Notification(TComponent *c, TOperation op) override {
    if (op == TOperation::opRemove && c == link.Component())
      link.Forget();
  }
};

} // namespace

TEST(DefinitionLinks, UseCountsAndDestruction) {
  CountingLink a, b;
  {
    TdgDateTimeDefComponent defs;
    a.RegisterWith(&defs);
    a.RegisterWith(&defs);
    b.RegisterWith(&defs);
    a.UnregisterFrom(&defs);
    EXPECT_EQ(defs.UseCount(&a), 1);
    a.RegisterWith(&defs);
    defs.UnregisterLink(&a, true);
    EXPECT_EQ(defs.UseCount(&a), 0);
    a.RegisterWith(&defs);
    a.RegisterWith(nullptr);
  }
  EXPECT_EQ(a.told, 1);
  EXPECT_EQ(b.told, 1);

  Holder holder;
  {
    Masks masks;
    holder.link.SetComponent(&masks);
    holder.link.SetComponent(&masks);
    EXPECT_EQ(masks.registered, 1);
    EXPECT_EQ(holder.link.FindMask("zip").toString(), "mask of zip");
    EXPECT_TRUE(holder.link.FindMask("").isEmpty());
    masks.FreeNotification(&holder);
  }
  EXPECT_EQ(holder.link.Component(), nullptr);
}

TEST(DrawPicture, RectanglesForEachFit) {
  struct Case {
    const char *what;
    int sw, sh;
    TRect rect;
    bool aspect, shrink, stretch, center;
    TRect source, dest;
  };
  const Case cases[] = {
      {"small, kept, centred",
       10,
       10,
       {0, 0, 40, 20},
       true,
       false,
       false,
       true,
       {0, 0, 10, 10},
       {15, 5, 25, 15}},
      {"small, kept, top left",
       10,
       10,
       {0, 0, 40, 20},
       true,
       false,
       false,
       false,
       {0, 0, 10, 10},
       {0, 0, 10, 10}},
      {"small, kept, stretched",
       10,
       5,
       {0, 0, 40, 40},
       true,
       false,
       true,
       true,
       {0, 0, 10, 5},
       {0, 10, 40, 30}},
      {"large, kept, shrunk",
       100,
       50,
       {0, 0, 40, 40},
       true,
       true,
       false,
       false,
       {0, 0, 100, 50},
       {0, 0, 40, 20}},
      {"large, kept, cut and centred",
       100,
       50,
       {0, 0, 40, 40},
       true,
       false,
       false,
       true,
       {30, 5, 70, 45},
       {0, 0, 40, 40}},
      {"large, per axis, cut",
       100,
       50,
       {10, 10, 50, 30},
       false,
       false,
       false,
       true,
       {30, 15, 70, 35},
       {10, 10, 50, 30}},
      {"small, per axis, placed",
       10,
       10,
       {0, 0, 31, 20},
       false,
       true,
       false,
       true,
       {0, 0, 10, 10},
       {10, 5, 20, 15}},
      {"small, per axis, stretched",
       10,
       10,
       {0, 0, 30, 20},
       false,
       true,
       true,
       false,
       {0, 0, 10, 10},
       {0, 0, 30, 20}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TRect source, dest;
    PictureRects(c.sw, c.sh, c.rect, c.aspect, c.shrink, c.stretch, c.center, source, dest);
    EXPECT_EQ(source, c.source);
    EXPECT_EQ(dest, c.dest);
  }
}

TEST(DrawPicture, PixelsAndTheTransparentColour) {
  QImage canvas(20, 20, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  QImage picture(2, 1, QImage::Format_RGB32);
  picture.setPixel(0, 0, qRgb(255, 0, 0));
  picture.setPixel(1, 0, qRgb(0, 0, 255));
  {
    QPainter painter(&canvas);
    painter.setBrush(Qt::white);
    DrawPicture(painter, {0, 0, 10, 10}, &picture, false, true, false, false, clNone);
    DrawPicture(painter, {10, 10, 20, 20}, &picture, false, true, false, false, 0x0000FF);
    DrawPicture(painter, {10, 0, 20, 10}, nullptr, true, true, true, true, clNone);
  }
  EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(canvas.pixel(1, 0), qRgb(0, 0, 255));
  EXPECT_EQ(canvas.pixel(5, 5), qRgb(255, 255, 255));   // the rest of the rectangle is cleared
  EXPECT_EQ(canvas.pixel(10, 10), qRgb(255, 255, 255)); // red ($0000FF) left out
  EXPECT_EQ(canvas.pixel(11, 10), qRgb(0, 0, 255));
  EXPECT_EQ(canvas.pixel(15, 5), qRgb(255, 255, 255)); // no picture: only cleared
}
