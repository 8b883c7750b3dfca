#pragma once

#include "app/nodedialogs/dialogbase.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QPushButton;
class QSpinBox;

namespace marrowen {

class TdgBaseGrid;
class TdgGrid;

// A code cell of the map editor: decimal in the first column, four hex
// digits in the second. An empty cell counts as 0; anything that is not a
// number of 0..65535 has none.
std::optional<int> unicodeCodeFromDecimal(std::string_view text);
std::optional<int> unicodeCodeFromHex(std::string_view text);
std::string unicodeCodeHex(int code);
// The text that leaves a code as it is: its two bytes as escapes, high first.
std::string unicodeDefaultText(int code);

// The editor of a Unicode map node: a grid of codes (decimal and hex) and
// their replacement texts, with buttons that fill, clear or delete a range
// of codes. A code's row is the first row holding it.
class TunicodeMapForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TunicodeMapForm(QWidget *owner, TNodeEditorSite *window);

  TdgGrid *grid() const { return grid_; }
  QSpinBox *startValue() const { return startValue_; }
  QSpinBox *endValue() const { return endValue_; }

  // A row's three cells as the grid holds them.
  struct Row {
    std::string code;
    std::string hex;
    std::string text;
    bool operator==(const Row &) const = default;
  };
  std::vector<Row> rows() const;

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  // The map is copied back whenever the editor is left.
  bool isDifferent(const TListObject &node) const override;

  // Handlers. Button: 1 up, 2 down.
  void gridSpinButtonClick(int dataRow, int button);
  // Refuses a code that is not a number of 0..65535 (a status error, the
  // row left as it was); otherwise the other code column follows.
  void gridCellEdit(int dataCol, int dataRow);
  // Whether the edited cell may be left: a bad code keeps the editor on it
  // (Esc gives the row back as it was).
  bool gridEndCellEdit(int dataCol, int dataRow);
  void clearButtonClick();
  void defaultButtonClick();
  void deleteButtonClick();

private:
  std::optional<int> codeIn(int dataCol, int dataRow) const;
  enum class RangeAction { clear, setDefault, remove };
  void applyToRange(RangeAction action);
  void setRows(const std::vector<Row> &rows);
  std::string cell(int col, int row) const;

  TdgGrid *grid_;
  QSpinBox *startValue_;
  QSpinBox *endValue_;
  QPushButton *deleteButton_;
  QPushButton *defaultButton_;
  QPushButton *clearButton_;
};

// Registers the editor as the Unicode map node's dialog.
void registerUnicodeMapDialog();

} // namespace marrowen
