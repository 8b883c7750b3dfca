#pragma once

#include "grid/data/component.h"
#include "grid/data/font.h"
#include "grid/data/gridutils.h"
#include "grid/data/published.h"
#include "grid/data/variant.h"

#include <vector>

class QPainter;
class QWidget;

namespace marrowen {

class TdgMaskLink;
class TdgImageLink;

// A mask as the editor and the grid use it: it judges text about to be
// inserted (and may change it), and a whole text when an edit ends, handing
// back literal text still to be added.
class TdgMaskDefinition {
public:
  virtual ~TdgMaskDefinition() = default;
  virtual bool Active() const = 0;
  virtual bool CheckOnEnd() const = 0;
  virtual int Mode() const { return 0; }
  // `insert` goes in at the 1-based position `pos` of `text`.
  virtual bool Check(const std::string &text, std::string &insert, int pos, int flag, int mode) = 0;
  virtual bool CheckWhole(const std::string &text, std::string &append) = 0;
};
class TdgDateTimeLink;
class TdgDateTimePicker;

// Definition components that grids, columns, rows and cells may point to. The
// concrete ones belong to forms that use them; the bases only declare what a
// link needs.
class TdgMaskDefsComponent : public TComponent {
public:
  using TComponent::TComponent;
  virtual void UnregisterLink(TdgMaskLink *link) = 0;
  virtual void RegisterLink(TdgMaskLink *link) = 0;
  // The mask of that name, or an empty Variant.
  virtual Variant FindMask(const Variant &name) = 0;
  // The definition of that name, owned by the component; none by default.
  virtual TdgMaskDefinition *FindDefinition(std::string_view) { return nullptr; }
};

// A list of named pictures. Each picture has an identity number that
// survives saving and loading the list, so a cell can find its picture again
// after the picture was renamed.
class TdgImageListComponent : public TComponent {
public:
  using TComponent::TComponent;
  virtual void RegisterLink(TdgImageLink *link) = 0;
  virtual void UnregisterLink(TdgImageLink *link) = 0;
  // The picture of that name, or none.
  virtual Picture FindPicture(std::string_view name) = 0;
  // The picture with that identity number, or none.
  virtual Picture PictureById(int id) = 0;
  // The name under which the list gives the picture.
  virtual std::string PictureName(const Picture &picture) = 0;
  // The names a spin button's up and down steps lead to from a name; a list
  // that does not step answers none.
  virtual std::string NextPictureName(std::string_view) { return {}; }
  virtual std::string PriorPictureName(std::string_view) { return {}; }
};

// What a date-time definition's chosen value is written as.
enum class TdgDateTimeKind { Date, Time, DateTime };

// Keeps its links with a use count each, and tells every link when it goes.
// A concrete definition supplies the picker its cells drop down.
class TdgDateTimeDefComponent : public TComponent {
public:
  using TComponent::TComponent;
  ~TdgDateTimeDefComponent() override;
  // A new picker owned by `owner`; null when the definition has none.
  virtual TdgDateTimePicker *CreatePicker(QWidget *) const { return nullptr; }
  // Pickers of one class are reused from cell to cell.
  virtual std::string_view PickerClass() const { return {}; }
  virtual TdgDateTimeKind Kind() const { return TdgDateTimeKind::Date; }
  void RegisterLink(TdgDateTimeLink *link);
  // Drops one use of the link, or every use with `all`.
  void UnregisterLink(TdgDateTimeLink *link, bool all);
  int LinkCount() const { return static_cast<int>(links_.size()); }
  int UseCount(const TdgDateTimeLink *link) const;

private:
  std::vector<TdgDateTimeLink *> links_;
  std::vector<int> counts_;
};

// A user's hold on a mask-definition component; the component keeps the
// link's field through its register and unregister operations.
class TdgMaskLink {
public:
  virtual ~TdgMaskLink();
  void SetComponent(TdgMaskDefsComponent *component);
  TdgMaskDefsComponent *Component() const { return component_; }
  Variant FindMask(std::string_view name) const;
  // The component is being destroyed: drop it without calling back into it.
  void Forget();
  virtual void MasksChanged() {}
  virtual void ComponentFreed() {}

  // For the component's register and unregister operations.
  TdgMaskDefsComponent *component_ = nullptr;
};

class TdgImageLink {
public:
  virtual ~TdgImageLink();
  void SetComponent(TdgImageListComponent *component);
  TdgImageListComponent *Component() const { return component_; }
  void Forget();
  virtual void ImagesChanged() {}
  virtual void ComponentFreed() {}

  TdgImageListComponent *component_ = nullptr;
};

class TdgDateTimeLink {
public:
  virtual ~TdgDateTimeLink() = default;
  void RegisterWith(TdgDateTimeDefComponent *component);
  void UnregisterFrom(TdgDateTimeDefComponent *component);
  // Called with the component as it is destroyed.
  virtual void ComponentDestroyed(TdgDateTimeDefComponent *) {}
};

// Draws `picture` into `rect`: kept to its aspect or per axis, cut instead of
// shrunk and placed instead of stretched where those are off, centred or at
// the top left; pixels of `transparent` are left out unless it is clNone.
// The rectangle is first filled with the painter's brush.
void DrawPicture(QPainter &canvas, const TRect &rect, const QImage *picture, bool keepAspect,
                 bool shrink, bool stretch, bool center, TColor transparent);
// The rectangles DrawPicture copies from and to.
void PictureRects(int pictureWidth, int pictureHeight, const TRect &rect, bool keepAspect,
                  bool shrink, bool stretch, bool center, TRect &source, TRect &dest);

// The published "DateTimeDef" property of a cell, column or row.
template <class C> PublishedProperty dateTimeDefProperty() {
  PublishedProperty p;
  p.name = "DateTimeDef";
  p.kind = PropKind::Component;
  p.getComponent = [](const Published &o) -> TComponent * {
    return static_cast<const C &>(o).DateTimeDef();
  };
  p.setComponent = [](Published &o, TComponent *c) {
    static_cast<C &>(o).SetDateTimeDef(dynamic_cast<TdgDateTimeDefComponent *>(c));
  };
  return p;
}

} // namespace marrowen
