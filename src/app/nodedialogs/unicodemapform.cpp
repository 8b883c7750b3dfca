#include "app/nodedialogs/unicodemapform.h"

#include "classlib/convert.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/unicodenodes.h"
#include "grid/data/colrow.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace marrowen {

namespace {

constexpr int lastCode = 65535;

// Digit by digit, stopping as soon as the value is past the last code, so
// a long text never overflows.
std::optional<int> codeFromDigits(std::string_view text, int base) {
  long value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return std::nullopt;
    value = value * base + digit;
    if (value > lastCode)
      return std::nullopt;
  }
  return static_cast<int>(value);
}

// The code a stored from-item names as the filter reads it, when it is one.
std::optional<int> storedCode(const std::string &item) {
  try {
    const std::int32_t code = StrToInt(item);
    if (code >= 0 && code <= lastCode)
      return code;
  } catch (const Exception &) {
  }
  return std::nullopt;
}

} // namespace

std::optional<int> unicodeCodeFromDecimal(std::string_view text) {
  return codeFromDigits(text, 10);
}

std::optional<int> unicodeCodeFromHex(std::string_view text) { return codeFromDigits(text, 16); }

std::string unicodeCodeHex(int code) { return Format("%4.4x", {code}); }

std::string unicodeDefaultText(int code) {
  return Format("\\x%2.2x\\x%2.2x", {(code >> 8) & 0xFF, code & 0xFF});
}

TunicodeMapForm::TunicodeMapForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("unicodeMapForm"));
  setHelpContext(1480);
  grid_ = new TdgGrid(this);
  grid_->setObjectName(QStringLiteral("grid"));
  grid_->SetName("grid");
  grid_->beginLoad();
  grid_->SetStoreData(true);
  grid_->SetCols(3);
  grid_->SetRows(0);
  grid_->SetGridMode(gmEditInsert);
  grid_->SetRowSelectMode(rsMulti);
  grid_->GetCol(1)->SetHeading("Code");
  grid_->GetCol(1)->SetButtonType(btVertSpin);
  grid_->GetCol(1)->SetWidth(80);
  grid_->GetCol(2)->SetHeading("Hex");
  grid_->GetCol(2)->SetWidth(60);
  grid_->GetCol(3)->SetHeading("Output text");
  grid_->GetCol(3)->SetWidth(220);
  grid_->endLoad();
  grid_->OnSpinIncrement = [](TdgBaseGrid *, int, int, TdgSpinButton, Variant &, int &, int &,
                              bool &accept) { accept = false; };
  grid_->OnSpinButtonClick = [this](TdgBaseGrid *, int, int dataRow, TdgSpinButton button) {
    gridSpinButtonClick(dataRow, button == sbUp ? 1 : 2);
  };
  grid_->OnCellEdit = [this](TdgBaseGrid *, int dataCol, int dataRow, bool) {
    gridCellEdit(dataCol, dataRow);
  };
  // The map keeps the order shown.
  grid_->OnRowMoved = [this](TdgBaseGrid *, int, int, bool) { fieldChanged(); };
  grid_->OnEndCellEdit = [this](TdgBaseGrid *, int dataCol, int dataRow, bool &cancel) {
    cancel = !gridEndCellEdit(dataCol, dataRow);
  };

  auto *group = new QGroupBox(QStringLiteral(" Populate values "), this);
  group->setObjectName(QStringLiteral("populateGroup"));
  auto spin = [group](const char *name, int value) {
    auto *box = new QSpinBox(group);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(0, lastCode);
    box->setValue(value);
    return box;
  };
  startValue_ = spin("startValue", 0);
  endValue_ = spin("endValue", 127);
  auto label = [group](const char *name, const QString &caption, QWidget *buddy) {
    auto *text = new QLabel(caption, group);
    text->setObjectName(QString::fromLatin1(name));
    text->setBuddy(buddy);
    return text;
  };
  auto button = [group](const char *name, const QString &caption, const QString &hint) {
    auto *pushButton = new QPushButton(caption, group);
    pushButton->setObjectName(QString::fromLatin1(name));
    pushButton->setToolTip(hint);
    return pushButton;
  };
  deleteButton_ =
      button("deleteButton", QStringLiteral("Delete"), QStringLiteral("Delete all matching rows"));
  defaultButton_ = button("defaultButton", QStringLiteral("Default"),
                          QStringLiteral("Set output strings to the default (ie no translation)"));
  clearButton_ = button("clearButton", QStringLiteral("Clear"),
                        QStringLiteral("Clear all output strings for the specified "
                                       "values\r\nie prevent them from being output"));
  auto *groupLayout = new QGridLayout(group);
  groupLayout->addWidget(label("startLabel", QStringLiteral("Start value (decimal)"), startValue_),
                         0, 0);
  groupLayout->addWidget(startValue_, 0, 1);
  groupLayout->addWidget(label("endLabel", QStringLiteral("&Ending value (decimal)"), endValue_), 1,
                         0);
  groupLayout->addWidget(endValue_, 1, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(deleteButton_);
  buttons->addWidget(defaultButton_);
  buttons->addWidget(clearButton_);
  groupLayout->addLayout(buttons, 2, 0, 1, 2);

  auto *layout = new QHBoxLayout(this);
  layout->addWidget(grid_, 1);
  auto *side = new QVBoxLayout;
  side->addWidget(group);
  side->addStretch();
  layout->addLayout(side);

  connect(deleteButton_, &QPushButton::clicked, this, &TunicodeMapForm::deleteButtonClick);
  connect(defaultButton_, &QPushButton::clicked, this, &TunicodeMapForm::defaultButtonClick);
  connect(clearButton_, &QPushButton::clicked, this, &TunicodeMapForm::clearButtonClick);
  reportChanges(this, startValue_, &QSpinBox::valueChanged);
  reportChanges(this, endValue_, &QSpinBox::valueChanged);
}

std::string TunicodeMapForm::cell(int col, int row) const {
  return grid_->GetCell(col, row).toString();
}

std::vector<TunicodeMapForm::Row> TunicodeMapForm::rows() const {
  // In the order shown: rows the user dragged keep their new place, and the
  // first row of a code is the first one the user sees.
  std::vector<Row> result;
  const int count = grid_->Rows();
  result.reserve(static_cast<std::size_t>(count));
  for (int shown = 1; shown <= count; ++shown) {
    const int row = grid_->GetDataRow(shown);
    result.push_back({cell(1, row), cell(2, row), cell(3, row)});
  }
  return result;
}

void TunicodeMapForm::setRows(const std::vector<Row> &rows) {
  grid_->BeginUpdate();
  grid_->SetRows(0);
  grid_->SetRows(static_cast<int>(rows.size()));
  int row = 0;
  for (const Row &r : rows) {
    ++row;
    grid_->SetCell(1, row, Variant(r.code));
    grid_->SetCell(2, row, Variant(r.hex));
    grid_->SetCell(3, row, Variant(r.text));
  }
  grid_->EndUpdate();
}

void TunicodeMapForm::putToScreen(TListObject &node) {
  auto &map = static_cast<TUnicodeMapObject &>(node);
  whileFilling([&] {
    showNumber(startValue_, map.startValue);
    showNumber(endValue_, map.endValue);
    // A code the editor would not write ("$41", which the filter reads)
    // shows as it stands, so that leaving the editor keeps it.
    std::vector<Row> shown;
    shown.reserve(map.entries.size());
    for (const UnicodeMapEntry &entry : map.entries) {
      const std::optional<int> code = storedCode(entry.from);
      shown.push_back({entry.from, code ? unicodeCodeHex(*code) : std::string(), entry.to});
    }
    setRows(shown);
  });
}

void TunicodeMapForm::getFromScreen(TListObject &node) {
  auto &map = static_cast<TUnicodeMapObject &>(node);
  map.startValue = numberShown(startValue_);
  map.endValue = numberShown(endValue_);
  map.entries.clear();
  for (Row &row : rows())
    map.entries.push_back({std::move(row.code), std::move(row.text)});
}

bool TunicodeMapForm::isDifferent(const TListObject &) const { return true; }

void TunicodeMapForm::gridSpinButtonClick(int dataRow, int button) {
  if (dataRow < 1 || dataRow > grid_->Rows())
    return;
  const std::optional<int> code = unicodeCodeFromDecimal(cell(1, dataRow));
  if (!code) {
    statusBarError(Format("'%s' is not a character code from 0 to 65535", {cell(1, dataRow)}));
    return;
  }
  int value = *code;
  if (button == 1 && value < lastCode)
    ++value;
  else if (button == 2 && value > 0)
    --value;
  grid_->SetCell(1, dataRow, Variant(std::to_string(value)));
  grid_->SetCell(2, dataRow, Variant(unicodeCodeHex(value)));
  fieldChanged();
}

std::optional<int> TunicodeMapForm::codeIn(int dataCol, int dataRow) const {
  const std::string text = cell(dataCol, dataRow);
  const std::optional<int> code =
      dataCol == 1 ? unicodeCodeFromDecimal(text) : unicodeCodeFromHex(text);
  if (!code)
    statusBarError(Format("'%s' is not a character code from 0 to 65535", {text}));
  return code;
}

bool TunicodeMapForm::gridEndCellEdit(int dataCol, int dataRow) {
  return (dataCol != 1 && dataCol != 2) || codeIn(dataCol, dataRow).has_value();
}

void TunicodeMapForm::gridCellEdit(int dataCol, int dataRow) {
  if (dataCol != 1 && dataCol != 2) {
    fieldChanged();
    return;
  }
  const std::optional<int> code = codeIn(dataCol, dataRow);
  if (!code)
    return;
  statusBarText({});
  if (dataCol == 1)
    grid_->SetCell(2, dataRow, Variant(unicodeCodeHex(*code)));
  else
    grid_->SetCell(1, dataRow, Variant(std::to_string(*code)));
  fieldChanged();
}

void TunicodeMapForm::applyToRange(RangeAction action) {
  const int start = startValue_->value();
  const int end = endValue_->value();
  if (end < start)
    return;
  std::vector<Row> all = rows();
  // The first row of each code, found once for the whole range.
  std::vector<int> rowOf(lastCode + 1, -1);
  for (std::size_t i = all.size(); i-- > 0;)
    if (const std::optional<int> code = unicodeCodeFromDecimal(all[i].code))
      rowOf[static_cast<std::size_t>(*code)] = static_cast<int>(i);
  int appended = 0;
  if (action == RangeAction::remove) {
    std::vector<bool> gone(all.size(), false);
    bool any = false;
    for (int code = start; code <= end; ++code)
      if (const int row = rowOf[static_cast<std::size_t>(code)]; row >= 0)
        gone[static_cast<std::size_t>(row)] = any = true;
    if (!any)
      return;
    std::vector<Row> kept;
    kept.reserve(all.size());
    for (std::size_t i = 0; i < all.size(); ++i)
      if (!gone[i])
        kept.push_back(std::move(all[i]));
    all = std::move(kept);
  } else {
    for (int code = start; code <= end; ++code) {
      std::string text = action == RangeAction::setDefault ? unicodeDefaultText(code) : "";
      if (const int row = rowOf[static_cast<std::size_t>(code)]; row >= 0) {
        all[static_cast<std::size_t>(row)].text = std::move(text);
      } else {
        all.push_back({std::to_string(code), unicodeCodeHex(code), std::move(text)});
        ++appended;
      }
    }
  }
  setRows(all);
  if (appended > 0)
    grid_->SetCurrentDataRow(grid_->Rows());
  fieldChanged();
}

void TunicodeMapForm::clearButtonClick() { applyToRange(RangeAction::clear); }
void TunicodeMapForm::defaultButtonClick() { applyToRange(RangeAction::setDefault); }
void TunicodeMapForm::deleteButtonClick() { applyToRange(RangeAction::remove); }

void registerUnicodeMapDialog() {
  registerNodeDialog("TUnicodeMapObject", [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<TunicodeMapForm>(nullptr, &window));
  });
}

} // namespace marrowen
