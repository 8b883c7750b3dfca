#pragma once

#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/dialogcontrols.h"

#include <array>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace marrowen {

class TEOLObject;
class TUserObject;

// The end-of-line node's dialog: where line ends come from, what they
// become, and the options that apply to the choice.
class TEOLForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TEOLForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // Enables the options of the choices made.
  void dimOptions();
  void convertClick();

private:
  TRadioGroup *convertFrom_;
  QSpinBox *fixedLineLength_;
  TRadioGroup *convertTo_;
  QLineEdit *EOLoutputText_;
  QCheckBox *removeExtraneous_;

  BoundNumber from_, to_, length_;
  BoundFlag removeBad_;
  BoundText outputText_;
  FieldBindings<TEOLObject> fields_;
};

// The character-map node's dialog: a row for each byte value with its
// replacement in escaped form, and the map-file, reset, clear and reverse
// commands. Load, save and reverse act on the node itself, which the grid
// then shows again.
class TmapForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TmapForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  QTableWidget &userReplacement() const { return *grid_; }

  void resetMapLineButtonClick();
  void resetEntireMapButtonClick();
  void clearMapLineButtonClick();
  void clearEntireMapButtonClick();
  void loadMapClick();
  void saveMapClick();
  void reverseMapButtonClick();

private:
  // The replacement texts of rows `rows` (byte values) set by `entry`.
  template <class Entry> void setRows(const std::vector<int> &rows, Entry entry);
  std::vector<int> selectedRows() const;
  std::vector<int> allRows() const;
  bool confirm(int id, const char *text);
  // A row's replacement: the bytes it was shown from while the user leaves
  // its text as shown.
  std::string cell(int byte) const;
  void showCell(int byte, const std::string &entry);
  void showEntries(const std::array<std::string, 256> &entries);

  QTableWidget *grid_;
  TUserObject *node_ = nullptr;
  std::array<std::string, 256> shown_;
};

void registerEOLDialogs();

} // namespace marrowen
