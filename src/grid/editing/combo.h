#pragma once

#include "grid/widget/dgbasegrid.h"

#include <QRect>
#include <QWidget>

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace marrowen {

class TdgComboGrid;

// The grid's drop-down window, one per grid, made on first use. A pop-up
// sees every press outside it: a press on its grid goes to the grid, which
// keeps or closes the list; any other closes the list, taking nothing, and
// reaches the widget under the mouse. Keys reach it while it is open and go
// to the grid, or to the cell's editor when they type.
class TdgDropDownForm : public QWidget {
public:
  explicit TdgDropDownForm(TdgBaseGrid &grid);

  TdgBaseGrid &Grid() const { return grid_; }
  bool DropDownMode() const { return true; }

protected:
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void keyReleaseEvent(QKeyEvent *e) override;
  void hideEvent(QHideEvent *e) override;

private:
  TdgBaseGrid &grid_;
};

// The settings of one drop-down list and the list grid that holds its items.
class TdgGridCombo : public TdgCombo {
public:
  explicit TdgGridCombo(TdgBaseGrid &grid);
  ~TdgGridCombo() override;

  int DropDownRows() const override;
  void SetDropDownRows(int value) override;
  int DropDownCols() const override;
  void SetDropDownCols(int value) override;
  int ValueCol() const override;
  void SetValueCol(int value) override;
  bool ValueColSorted() const override;
  void SetValueColSorted(bool value) override;
  TdgComboCompareType CompareType() const override;
  void SetCompareType(TdgComboCompareType value) override;
  TdgComboAutoSearchType AutoSearch() const override;
  void SetAutoSearch(TdgComboAutoSearchType value) override;
  bool AutoFill() const override;
  void SetAutoFill(bool value) override;
  TdgConvertCase AutoFillConvertCase() const override;
  void SetAutoFillConvertCase(TdgConvertCase value) override;
  TdgDropDownStyle DropDownStyle() const override;
  void SetDropDownStyle(TdgDropDownStyle style) override;
  void Reinitialise() override;
  TdgComboGrid *ComboGrid() const override { return comboGrid_.get(); }
  void SetWidth(int width) override;
  void Assign(const TdgCombo &source) override;
  void writeInnerGrid(ComponentWriter &writer) const override;
  void readInnerGrid(ComponentReader &reader) override;

private:
  TdgBaseGrid &grid_;
  std::unique_ptr<TdgComboGrid> comboGrid_;
};

// The grid inside a drop-down: its items, one row each, and the settings of
// the list. It takes its loading and saving state from the grid it serves.
class TdgComboGrid : public TdgCustomGrid {
public:
  TdgComboGrid(QWidget *parent, TdgBaseGrid *ownerGrid);
  ~TdgComboGrid() override;

  TdgBaseGrid *OwnerGrid() const { return FOwnerGrid; }
  TdgCombo *Combo() const { return FCombo; }
  void SetCombo(TdgCombo *combo) { FCombo = combo; }

  int DropDownRows() const { return FDropDownRows; }
  void SetDropDownRows(int value);
  int DropDownCols() const { return FDropDownCols; }
  void SetDropDownCols(int value);
  int ValueCol() const { return FValueCol; }
  void SetValueCol(int value) { FValueCol = value; }
  bool ValueColSorted() const { return FValueColSorted; }
  void SetValueColSorted(bool value) { FValueColSorted = value; }
  TdgComboCompareType CompareType() const { return FCompareType; }
  void SetCompareType(TdgComboCompareType value) { FCompareType = value; }
  TdgComboAutoSearchType AutoSearch() const { return FAutoSearch; }
  void SetAutoSearch(TdgComboAutoSearchType value) { FAutoSearch = value; }
  bool AutoFill() const { return FAutoFill; }
  void SetAutoFill(bool value);
  TdgConvertCase AutoFillConvertCase() const { return FAutoFillConvertCase; }
  void SetAutoFillConvertCase(TdgConvertCase value) { FAutoFillConvertCase = value; }
  TdgDropDownStyle DropDownStyle() const { return FDropDownStyle; }
  void SetDropDownStyle(TdgDropDownStyle value);
  // A reserved setting: always 0.
  int Reserved() const { return 0; }
  void SetReserved(int) {}

  bool isComboGrid() const override { return true; }
  void DropDownResize() override;
  std::string ClassName() const override { return "TdgComboGrid"; }
  bool NotLoading() const override;
  bool IsLoadingLayout() const override;
  bool IsSavingLayout() const override;
  std::span<const PublishedProperty> publishedProperties() const override;

  // The list's text in the value column of a data row.
  std::string ValueText(int dataRow);
  // Negative, 0 or positive by CompareType over at most length characters.
  int Compare(const std::string &listText, const std::string &searchText, int length);
  bool Equal(const std::string &a, const std::string &b);
  // The data row that agrees best with text; found says whether any did.
  int Search(const std::string &text, bool whole, bool &found);
  // The next row after the current one (wrapping) that agrees with text.
  int NextMatch(const std::string &text, bool &found);
  // Makes the row current and scrolls it where AutoSearch says.
  void Position(int dataRow);
  // The first data row whose value equals value; 0 when none does.
  int RowOfValue(const std::string &value);

  // Its drop-down is waiting for its paint lock to end to be sized.
  bool DropDownResizePending = false;

protected:
  std::unique_ptr<TdgBaseGrid> NewGridOfSameClass() const override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;

private:
  TdgBaseGrid *FOwnerGrid;
  TdgCombo *FCombo = nullptr;
  int FDropDownRows = 4;
  int FDropDownCols = 1;
  int FValueCol = 1;
  bool FValueColSorted = false;
  TdgComboCompareType FCompareType = ctCaseInsensitive;
  TdgComboAutoSearchType FAutoSearch = asNone;
  bool FAutoFill = false;
  TdgConvertCase FAutoFillConvertCase = afcOnEdit;
  TdgDropDownStyle FDropDownStyle = ddDropDown;
  int FPressedRow = -1;
};

class TdgGridEditBox;
// The text editor when it shows over the grid's current cell, else null.
TdgGridEditBox *ShownTextEditor(const TdgBaseGrid &grid);

// Where a drop-down of w x h goes when proposed at (x, y), y being the bottom
// of its cell: pulled back inside the available area of the screen, and
// above the cell (cellHeight high, less the grid line) when it would leave
// the bottom.
QPoint KeepDropDownOnScreen(const QRect &available, int x, int y, int w, int h, int cellHeight,
                            int lineWidth);
// A pop-up window centred on the available area.
QPoint CenterOnScreen(const QRect &available, int w, int h);

// Makes the column's cells pick one of `choices` from a list under the cell;
// the list's other settings are left to the caller.
TdgCombo &GiveDropDownList(TdgCol &column, const std::vector<std::string> &choices);

} // namespace marrowen
