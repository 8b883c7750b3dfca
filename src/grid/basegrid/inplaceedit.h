#pragma once

#include "grid/data/basegridtypes.h"
#include "grid/data/keys.h"

#include <QLineEdit>

#include <cstdint>
#include <string>
#include <string_view>

namespace marrowen {

class TCustomGrid_dg;

// An edit mask in the form the grid's callers write ("mask;keep literals;
// blank") as the line edit's input mask: required and optional letters,
// letters or digits, any characters and digits, case switches and escaped
// literals. Characters the line edit would read as codes are escaped.
std::string QtInputMask(std::string_view editMask);

// The plain editor the base grid lays over its current cell. Keys that move
// between cells go to the grid; what the grid forbids (typing into a cell it
// will not change, Tab, Escape) never reaches the text.
class TInplaceEdit : public QLineEdit {
public:
  explicit TInplaceEdit(TCustomGrid_dg *grid);

  TCustomGrid_dg *Grid() const { return FGrid; }
  virtual void UpdateContents();
  virtual void BoundsChanged();
  void Move(const TRect &rect);
  void UpdateLoc(const TRect &rect);
  void Hide();
  void Invalidate();
  void Deselect();
  bool EditCanModify() const;

  std::string Text() const;
  void SetText(const std::string &text);
  const std::string &EditMask() const { return FEditMask; }
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int value);
  void SetClickTime(qint64 time) { FClickTime = time; }

  // The editor's own key handling, as the window delivers it; tests call
  // these directly. A character arrives through PostChar as if typed.
  virtual void KeyDown(std::uint16_t &key, TShiftState shift);
  virtual void KeyPress(char &key);
  void PostChar(char ch);

protected:
  void InternalMove(const TRect &rect, bool redraw);
  void keyPressEvent(QKeyEvent *e) override;
  void keyReleaseEvent(QKeyEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void wheelEvent(QWheelEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  bool event(QEvent *e) override;
  void contextMenuEvent(QContextMenuEvent *e) override;

private:
  void SendToGrid(std::uint16_t &key, TShiftState shift);
  void TypeChar(char ch);

  TCustomGrid_dg *FGrid;
  qint64 FClickTime = 0;
  std::string FEditMask;
  int FMaxLength = 0;
  // The cell's bytes as last given, kept while the text shown for them is
  // not changed.
  std::string FShownBytes;
  // Set while the contents are loaded, which is no edit of the cell.
  bool FLoading = false;
};

} // namespace marrowen
