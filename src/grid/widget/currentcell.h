#pragma once

#include "grid/data/font.h"
#include "grid/data/gridtypes.h"
#include "grid/data/variant.h"

namespace marrowen {

class TdgBaseGrid;
class TdgCustomGridControl;

// The grid's current cell as one object: where it is, the value being edited
// there (held until it is written), and the moves and checks that concern it.
class TdgCurrentCell {
public:
  explicit TdgCurrentCell(TdgBaseGrid &grid) : Grid(grid) {}
  virtual ~TdgCurrentCell() = default;

  // Display position; -1 when the grid has no current cell.
  int DisplayCol() const;
  int DisplayRow() const;
  virtual TdgControlType ControlType() const;
  // Unassigned without a current cell; else the held value, or the stored one.
  virtual Variant GetValue() const;
  // Takes a value for the current cell when the grid may change it; answers
  // whether it was taken.
  virtual bool SetValue(const Variant &value, bool startRowEdit, bool repaint);
  virtual void MoveToCol(int dataCol);
  virtual void Refresh();
  bool HasValue() const;
  bool ValueFor(int displayCol, int displayRow) const;
  void SetPending(const Variant &value);
  void DropPending();

  // The text selection of the value being edited, handed to and from the
  // in-place editor.
  int SelStart() const { return FSelStart; }
  int SelLength() const { return FSelLength; }
  void SetSelStart(int value);
  void SetSelLength(int value);
  // Shows the cell's stored value in the editor unless one is pending.
  virtual void Apply();
  void SelectAll();
  // Text cells only, while the window exists; Cut and Paste also need a grid
  // that may change the cell. Each answers whether it was done.
  bool CopyToClipboard();
  bool CutToClipboard(bool flag);
  bool PasteFromClipboard(bool flag);
  bool DeleteSelection(bool flag);
  bool CheckedCutToClipboard();
  bool CheckedPasteFromClipboard();
  // True for cells that are not text; else whether the whole text is selected.
  bool IsWholeTextSelected() const;
  // Takes the editor's selection after its text changed.
  void TakeSelection(int start, int length) {
    FSelStart = start;
    FSelLength = length;
  }

  // The picture options of the value held here: the cell's own setting where
  // it is on or off, else the flag below. A new held value resets the flags.
  bool StretchPicture() const { return PictureOption(1); }
  bool ShrinkPicture() const { return PictureOption(2); }
  bool CenterPicture() const { return PictureOption(3); }
  bool KeepAspectRatio() const { return PictureOption(4); }
  void ResetOptions();
  bool OptionStretch = true;
  bool OptionShrink = true;
  bool OptionCenter = true;
  bool OptionKeepAspect = false;
  // The held picture's transparent colour; clNone leaves it to the cell.
  TColor OptionColor = clNone;

  TdgBaseGrid &Grid;

private:
  bool CanChangeText() const;
  // Makes one change of the editor's text when the cell may change.
  bool ChangeText(void (TdgCustomGridControl::*change)(bool), bool byUser);
  // 1 stretch, 2 shrink, 3 centre, 4 keep aspect ratio.
  bool PictureOption(int sub) const;
  int FSelStart = 0;
  int FSelLength = 0;
};

} // namespace marrowen
