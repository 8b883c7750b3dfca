#pragma once

#include "grid/data/font.h"
#include "grid/data/gridtypes.h"
#include "grid/data/gridutils.h"
#include "grid/data/variant.h"

#include <memory>

class QImage;

namespace marrowen {

class TdgGridHost;

// The pictures every grid shares, drawn once in code.
enum class GridGlyph {
  DotArrowRight,
  InsertRow,
  ChangedRow,
  ArrowCombo,
  ButDetail,
  SortUp,
  SortDown,
  SortBullet,
  SpinUp,
  SpinDown,
  SpinLeft,
  SpinRight
};
const Picture &GridBitmap(GridGlyph glyph);
// 8 x 8: white where x + y is odd, black where it is even.
const QImage &CheckerboardBitmap();

// Check-box glyphs: 18 of 13 x 13 stacked in one strip; per style base b
// (cross 0, check 3, flat 6) b + 0 checked, b + 1 unchecked, b + 2 grayed,
// and 9 further the pressed look of each.
enum TdgCheckBoxStyle : std::uint8_t { stFlat, stCheck, stCross };
inline constexpr int checkGlyphSize = 13;
const QImage &CheckGlyphStrip();
int CheckStyleBase(TdgCheckBoxStyle style);
// The strip rectangle of a check state (0 unchecked, 1 checked, 2 grayed).
TRect GetGlyphRect(TdgCheckBoxStyle style, int state, bool pressed);

// What the grid needs to know of a cell button: its picture, the size of one
// face and the room it takes in the cell. Shared descriptors carry no picture
// of their own and answer the shared default.
class TdgCustomButton {
public:
  TdgCustomButton(const TdgGridHost *grid, int height, int width, TColor transparentColor,
                  Picture picture);
  virtual ~TdgCustomButton() = default;

  virtual Picture GetPicture() const { return picture_; }
  virtual int GetHeight() const { return height_; }
  virtual int GetWidth() const { return width_; }
  virtual TColor GetTransparentColor() const { return transparentColor_; }
  virtual void SetPicture(Picture picture) { picture_ = std::move(picture); }
  virtual void SetHeight(int value) { height_ = value; }
  virtual void SetWidth(int value) { width_ = value; }
  virtual void SetTransparentColor(TColor value) { transparentColor_ = value; }
  virtual int GetTotalWidth() const;
  virtual int GetTotalHeight() const;
  virtual bool IsDefaultPicture() const { return true; }
  // Whether the descriptor follows the grid's default button size, so a
  // change of that size must make it again.
  virtual bool FollowsGridSize() const { return true; }
  virtual void Assign(const TdgCustomButton &source);
  virtual std::unique_ptr<TdgCustomButton> Clone() const = 0;

protected:
  const TdgGridHost *grid_;
  Picture picture_;
  int height_;
  int width_;
  TColor transparentColor_;
};

// A button with a shared default picture: given that very picture it keeps
// none of its own; given another it keeps a private copy.
class TdgPictureButton : public TdgCustomButton {
public:
  TdgPictureButton(const TdgGridHost *grid, int height, int width, TColor transparentColor,
                   Picture picture, GridGlyph defaultGlyph);
  Picture GetPicture() const override;
  void SetPicture(Picture picture) override;
  bool IsDefaultPicture() const override;

protected:
  GridGlyph defaultGlyph_;
};

class TdgComboButton : public TdgPictureButton {
public:
  TdgComboButton(const TdgGridHost *grid, int height, int width, TColor transparentColor,
                 Picture picture);
  std::unique_ptr<TdgCustomButton> Clone() const override;
};

class TdgNormalButton : public TdgPictureButton {
public:
  TdgNormalButton(const TdgGridHost *grid, int height, int width, TColor transparentColor,
                  Picture picture);
  std::unique_ptr<TdgCustomButton> Clone() const override;
  // A column's own button keeps its own size.
  bool FollowsGridSize() const override { return IsDefaultPicture(); }
};

class TdgVertSpinButton : public TdgCustomButton {
public:
  using TdgCustomButton::TdgCustomButton;
  int GetTotalHeight() const override { return 2 * height_ + 1; }
  std::unique_ptr<TdgCustomButton> Clone() const override;
};

class TdgHorzSpinButton : public TdgCustomButton {
public:
  using TdgCustomButton::TdgCustomButton;
  int GetTotalWidth() const override { return 2 * width_ + 1; }
  std::unique_ptr<TdgCustomButton> Clone() const override;
};

class TdgDateTimeButton : public TdgPictureButton {
public:
  TdgDateTimeButton(const TdgGridHost *grid, int height, int width, TColor transparentColor,
                    Picture picture, bool detail);
  bool IsDefaultPicture() const override;
  std::unique_ptr<TdgCustomButton> Clone() const override;

private:
  bool detail_;
};

// The 8 x 8 dot pattern of dotted selection and focus drawing: black where
// x + y is odd, the colour elsewhere. Rebuilt only when the colour changes.
class TdgSelectionPattern {
public:
  const QImage *Bitmap() const { return bitmap_.get(); }
  void Update(TColor rgb);
  void Build(TColor rgb);
  void Free() { bitmap_.reset(); }
  TColor Rgb() const { return rgb_; }

private:
  std::shared_ptr<QImage> bitmap_;
  TColor rgb_ = clNone;
};

} // namespace marrowen
