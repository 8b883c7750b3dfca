#include "grid/data/links.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace marrowen {

TdgDateTimeDefComponent::~TdgDateTimeDefComponent() {
  // A link may unregister from its hook, so the hooks run over a copy.
  const std::vector<TdgDateTimeLink *> links = links_;
  for (TdgDateTimeLink *link : links)
    link->ComponentDestroyed(this);
}

void TdgDateTimeDefComponent::RegisterLink(TdgDateTimeLink *link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) {
    links_.push_back(link);
    counts_.push_back(1);
  } else
    ++counts_[it - links_.begin()];
}

void TdgDateTimeDefComponent::UnregisterLink(TdgDateTimeLink *link, bool all) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end())
    return;
  const auto i = it - links_.begin();
  if (--counts_[i] > 0 && !all)
    return;
  links_.erase(it);
  counts_.erase(counts_.begin() + i);
}

int TdgDateTimeDefComponent::UseCount(const TdgDateTimeLink *link) const {
  auto it = std::find(links_.begin(), links_.end(), link);
  return it == links_.end() ? 0 : counts_[it - links_.begin()];
}

namespace {

// The component's register and unregister calls set the link's own pointer.
template <class Link, class Component>
void moveLink(Link *link, Component *current, Component *next) {
  if (next == current)
    return;
  if (current)
    current->UnregisterLink(link);
  if (next)
    next->RegisterLink(link);
}

// True when the link held a component and now holds none.
template <class Component> bool dropComponent(Component *&component) {
  if (!component)
    return false;
  component = nullptr;
  return true;
}

} // namespace

TdgMaskLink::~TdgMaskLink() { SetComponent(nullptr); }

void TdgMaskLink::SetComponent(TdgMaskDefsComponent *component) {
  moveLink(this, component_, component);
}

Variant TdgMaskLink::FindMask(std::string_view name) const {
  if (name.empty() || !component_)
    return {};
  return component_->FindMask(Variant(name));
}

void TdgMaskLink::Forget() {
  if (dropComponent(component_))
    ComponentFreed();
}

void TdgImageLink::Forget() {
  if (dropComponent(component_))
    ComponentFreed();
}

TdgImageLink::~TdgImageLink() { SetComponent(nullptr); }

void TdgImageLink::SetComponent(TdgImageListComponent *component) {
  moveLink(this, component_, component);
}

void TdgDateTimeLink::RegisterWith(TdgDateTimeDefComponent *component) {
  if (component)
    component->RegisterLink(this);
}

void TdgDateTimeLink::UnregisterFrom(TdgDateTimeDefComponent *component) {
  if (component)
    component->UnregisterLink(this, false);
}

// ---------------------------------------------------------------------------

namespace {

int roundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

} // namespace

void PictureRects(int sw, int sh, const TRect &rect, bool keepAspect, bool shrink, bool stretch,
                  bool center, TRect &source, TRect &dest) {
  source = {0, 0, sw, sh};
  dest = rect;
  int w = rect.Width(), h = rect.Height();
  if (keepAspect) {
    if (!shrink) {
      if (sw > w) {
        const int off = center ? (sw - w) / 2 : 0;
        source.Left = off;
        source.Right = off + w;
      }
      if (sh > h) {
        const int off = center ? (sh - h) / 2 : 0;
        source.Top = off;
        source.Bottom = off + h;
      }
    }
    if (!stretch) {
      if (w > source.Width()) {
        const int off = center ? (w - source.Width()) / 2 : 0;
        dest.Left += off;
        dest.Right = dest.Left + source.Width();
      }
      if (h > source.Height()) {
        const int off = center ? (h - source.Height()) / 2 : 0;
        dest.Top += off;
        dest.Bottom = dest.Top + source.Height();
      }
    }
    w = dest.Width();
    h = dest.Height();
    const double sourceRatio = static_cast<double>(source.Width()) / source.Height();
    const double destRatio = static_cast<double>(w) / h;
    if (sourceRatio <= destRatio) {
      const int drawn = roundEven(h * sourceRatio);
      if (center)
        dest.Left += (w - drawn) / 2;
      dest.Right = dest.Left + drawn;
    } else {
      const int drawn = roundEven(w / sourceRatio);
      if (center)
        dest.Top += (h - drawn) / 2;
      dest.Bottom = dest.Top + drawn;
    }
    return;
  }
  const auto axis = [&](int extent, int sourceExtent, int &srcLow, int &srcHigh, int &dstLow,
                        int &dstHigh) {
    if (extent <= sourceExtent) {
      if (!shrink) {
        srcLow = center ? roundEven((sourceExtent - extent) / 2.0) : 0;
        srcHigh = srcLow + extent;
      }
    } else if (!stretch) {
      if (center)
        dstLow += roundEven((extent - sourceExtent) / 2.0);
      dstHigh = dstLow + sourceExtent;
    }
  };
  axis(w, sw, source.Left, source.Right, dest.Left, dest.Right);
  axis(h, sh, source.Top, source.Bottom, dest.Top, dest.Bottom);
}

void DrawPicture(QPainter &canvas, const TRect &rect, const QImage *picture, bool keepAspect,
                 bool shrink, bool stretch, bool center, TColor transparent) {
  const QRect whole(rect.Left, rect.Top, rect.Width(), rect.Height());
  canvas.fillRect(whole, canvas.brush());
  if (!picture || picture->isNull() || rect.Width() <= 0 || rect.Height() <= 0)
    return;
  TRect source, dest;
  PictureRects(picture->width(), picture->height(), rect, keepAspect, shrink, stretch, center,
               source, dest);
  const QRect from(source.Left, source.Top, source.Width(), source.Height());
  const QRect to(dest.Left, dest.Top, dest.Width(), dest.Height());
  if (transparent == clNone) {
    canvas.drawImage(to, *picture, from);
    return;
  }
  // Colours are $00BBGGRR.
  const QRgb key = qRgb(transparent & 0xFF, (transparent >> 8) & 0xFF, (transparent >> 16) & 0xFF);
  QImage masked = picture->copy(from).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < masked.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(masked.scanLine(y));
    for (int x = 0; x < masked.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF))
        line[x] = 0;
  }
  canvas.drawImage(to, masked);
}

} // namespace marrowen
