#include "app/nodedialogs/eoldialogs.h"

#include "app/common/patternmenu.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/paths.h"
#include "components/dialogrunner.h"
#include "components/filedialog.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filterlist/eolnodes.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

namespace marrowen {

namespace {

// Puts `extra` beside the last item of a radio group.
void besideLastItem(TRadioGroup *group, QWidget *extra) {
  auto *layout = static_cast<QBoxLayout *>(group->layout());
  QLayoutItem *last = layout->itemAt(layout->count() - 1);
  QWidget *button = last->widget();
  layout->removeWidget(button);
  auto *row = new QHBoxLayout;
  row->addWidget(button);
  row->addWidget(extra, 1);
  layout->addLayout(row);
}

constexpr int replacementColumn = 3;

// A replacement keeps its first bytes only: a key or a paste that would take
// the text past them is refused, as a full field refuses it, so a letter of
// two, three or four bytes is never taken and then lost unseen.
class EntryLimit : public QValidator {
public:
  EntryLimit(QObject *parent, std::string shownFrom)
      : QValidator(parent), shownFrom_(std::move(shownFrom)) {}
  State validate(QString &input, int &) const override {
    return bytesForShownText(input, shownFrom_).size() <= TUserObject::maxEntryLength ? Acceptable
                                                                                      : Invalid;
  }

private:
  std::string shownFrom_;
};

// Gives the grid's in-place editor the pattern menu and the entry's limit.
class MapCellDelegate : public QStyledItemDelegate {
public:
  MapCellDelegate(TdefaultForm1 *form, std::function<std::string(int)> shownFrom)
      : QStyledItemDelegate(form), form_(form), shownFrom_(std::move(shownFrom)) {}
  QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const override {
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
      edit->setValidator(new EntryLimit(edit, shownFrom_(index.row())));
      form_->preparePopup(edit);
    }
    return editor;
  }

private:
  TdefaultForm1 *form_;
  std::function<std::string(int)> shownFrom_;
};

QString mapFilter() {
  return QStringLiteral("Maps (*.map)|*.map|User defined translations (*.udt)|*.udt");
}

} // namespace

// --- TEOLForm ---

TEOLForm::TEOLForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("EOLForm"));
  convertFrom_ =
      new TRadioGroup(QStringLiteral(" &Input line feeds "),
                      {QStringLiteral("Unix/Amiga (#10)"), QStringLiteral("Macintosh (#13)"),
                       QStringLiteral("DOS (PC) (#13#10)"), QStringLiteral("Auto detect"),
                       QStringLiteral("Fixed length:")},
                      this);
  convertFrom_->setObjectName(QStringLiteral("convertFrom"));
  fixedLineLength_ = namedSpin(convertFrom_, "fixedLineLength", 1, 99999);
  besideLastItem(convertFrom_, fixedLineLength_);
  convertTo_ = new TRadioGroup(QStringLiteral(" &Output line feeds "),
                               {QStringLiteral("Unix/Amiga"), QStringLiteral("Macintosh"),
                                QStringLiteral("DOS (PC)"), QStringLiteral("None"), QString()},
                               this);
  convertTo_->setObjectName(QStringLiteral("convertTo"));
  EOLoutputText_ = namedEdit(convertTo_, "EOLoutputText");
  besideLastItem(convertTo_, EOLoutputText_);
  removeExtraneous_ = namedCheckBox(this, "removeExtraneous", QStringLiteral("&Remove bad EOLs"));
  auto *groups = new QHBoxLayout;
  groups->addWidget(convertFrom_, 1);
  groups->addWidget(convertTo_, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addWidget(removeExtraneous_);
  layout->addStretch();

  from_ = radioGroupValue(convertFrom_);
  to_ = radioGroupValue(convertTo_);
  length_ = spinValue(fixedLineLength_);
  removeBad_ = checkBoxValue(removeExtraneous_);
  outputText_ = lineEditValue(EOLoutputText_);
  fields_.bind(&TEOLObject::convertFrom, from_);
  fields_.bind(&TEOLObject::fixedLength, length_);
  fields_.bind(&TEOLObject::removeBad, removeBad_);
  fields_.bind(&TEOLObject::convertTo, to_);
  fields_.bind(&TEOLObject::outputText, outputText_);

  for (TRadioGroup *group : {convertFrom_, convertTo_})
    connect(group, &TRadioGroup::changed, this, &TEOLForm::convertClick);
  connect(fixedLineLength_, &QSpinBox::valueChanged, this, &TEOLForm::fieldChanged);
  connect(EOLoutputText_, &QLineEdit::textChanged, this, &TEOLForm::fieldChanged);
  connect(removeExtraneous_, &QCheckBox::clicked, this, &TEOLForm::fieldChanged);
  preparePopup(EOLoutputText_);
}

void TEOLForm::putToScreen(TListObject &node) {
  whileFilling([&] {
    fields_.put(dynamic_cast<TEOLObject &>(node));
    dimOptions();
  });
}

void TEOLForm::getFromScreen(TListObject &node) { fields_.get(dynamic_cast<TEOLObject &>(node)); }

bool TEOLForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TEOLObject &>(node));
}

void TEOLForm::dimOptions() {
  const std::int32_t from = from_.value();
  fixedLineLength_->setEnabled(from == 4);
  removeExtraneous_->setEnabled(from >= 0 && from <= 2);
  EOLoutputText_->setEnabled(to_.value() == 4);
}

void TEOLForm::convertClick() {
  dimOptions();
  fieldChanged();
}

// --- TmapForm ---

TmapForm::TmapForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("mapForm"));
  setHelpContext(600);
  grid_ = new QTableWidget(256, 4, this);
  grid_->setObjectName(QStringLiteral("userReplacement"));
  grid_->setHorizontalHeaderLabels({messageText(1200, "Dec"), messageText(1210, "Hex"),
                                    messageText(1220, "ASCII"),
                                    messageText(1230, "Replacement Text")});
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid_->setItemDelegateForColumn(replacementColumn, new MapCellDelegate(this, [this](int byte) {
                                    return shown_[static_cast<std::size_t>(byte)];
                                  }));
  for (int byte = 0; byte < 256; ++byte) {
    // Control characters have no glyph: their cell stays blank.
    QString character = toQString(std::string(1, static_cast<char>(byte)));
    if (!character.at(0).isPrint())
      character.clear();
    const QString fixed[] = {QString::number(byte), toQString(Format("%2.2x", {byte})), character};
    for (int column = 0; column < 3; ++column) {
      auto *item = new QTableWidgetItem(fixed[column]);
      item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      grid_->setItem(byte, column, item);
    }
    grid_->setItem(byte, replacementColumn, new QTableWidgetItem);
  }
  for (int column = 0; column < 3; ++column)
    grid_->setColumnWidth(column, 48);

  auto *loadMap = namedButton(this, "loadMap", QStringLiteral("L&oad..."));
  auto *saveMap = namedButton(this, "saveMap", QStringLiteral("&Save..."));
  auto *resetLine = namedButton(this, "resetMapLineButton", QStringLiteral("&Reset"));
  auto *resetAll = namedButton(this, "resetEntireMapButton", QStringLiteral("&All"));
  auto *clearLine = namedButton(this, "clearMapLineButton", QStringLiteral("&Clear"));
  auto *clearAll = namedButton(this, "clearEntireMapButton", QStringLiteral("A&ll"));
  auto *reverse = namedButton(this, "reverseMapButton", QStringLiteral("Re&verse"));
  auto *buttons = new QVBoxLayout;
  for (QPushButton *button : {loadMap, saveMap, resetLine, resetAll, clearLine, clearAll, reverse})
    buttons->addWidget(button);
  buttons->addStretch();
  auto *layout = new QHBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);

  connect(loadMap, &QPushButton::clicked, this, &TmapForm::loadMapClick);
  connect(saveMap, &QPushButton::clicked, this, &TmapForm::saveMapClick);
  connect(resetLine, &QPushButton::clicked, this, &TmapForm::resetMapLineButtonClick);
  connect(resetAll, &QPushButton::clicked, this, &TmapForm::resetEntireMapButtonClick);
  connect(clearLine, &QPushButton::clicked, this, &TmapForm::clearMapLineButtonClick);
  connect(clearAll, &QPushButton::clicked, this, &TmapForm::clearEntireMapButtonClick);
  connect(reverse, &QPushButton::clicked, this, &TmapForm::reverseMapButtonClick);
  connect(grid_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
    if (item->column() == replacementColumn)
      fieldChanged();
  });
}

void TmapForm::showEntries(const std::array<std::string, 256> &entries) {
  const QSignalBlocker quiet(grid_);
  for (int byte = 0; byte < 256; ++byte)
    showCell(byte, entries[byte]);
  grid_->viewport()->update();
}

void TmapForm::putToScreen(TListObject &node) {
  node_ = &dynamic_cast<TUserObject &>(node);
  whileFilling([&] { showEntries(node_->entries); });
}

void TmapForm::showCell(int byte, const std::string &entry) {
  shown_[static_cast<std::size_t>(byte)] = entry;
  grid_->item(byte, replacementColumn)->setText(toQString(entry));
}

std::string TmapForm::cell(int byte) const {
  return TUserObject::cutToEntry(bytesForShownText(grid_->item(byte, replacementColumn)->text(),
                                                   shown_[static_cast<std::size_t>(byte)]));
}

void TmapForm::getFromScreen(TListObject &node) {
  auto &map = dynamic_cast<TUserObject &>(node);
  for (int byte = 0; byte < 256; ++byte)
    map.entries[byte] = cell(byte);
}

bool TmapForm::isDifferent(const TListObject &node) const {
  const auto &map = dynamic_cast<const TUserObject &>(node);
  for (int byte = 0; byte < 256; ++byte)
    if (cell(byte) != map.entries[byte])
      return true;
  return false;
}

std::vector<int> TmapForm::selectedRows() const {
  std::set<int> rows;
  for (const QTableWidgetSelectionRange &range : grid_->selectedRanges())
    for (int row = range.topRow(); row <= range.bottomRow(); ++row)
      rows.insert(row);
  return {rows.begin(), rows.end()};
}

std::vector<int> TmapForm::allRows() const {
  std::vector<int> rows(256);
  for (int byte = 0; byte < 256; ++byte)
    rows[byte] = byte;
  return rows;
}

template <class Entry> void TmapForm::setRows(const std::vector<int> &rows, Entry entry) {
  {
    const QSignalBlocker quiet(grid_);
    for (int byte : rows)
      showCell(byte, entry(byte));
  }
  grid_->viewport()->update();
  fieldChanged();
}

bool TmapForm::confirm(int id, const char *text) {
  return showMessageBox(this, QMessageBox::Question, QApplication::applicationName(),
                        messageText(id, text),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                        QMessageBox::Yes) == QMessageBox::Yes;
}

void TmapForm::resetMapLineButtonClick() {
  setRows(selectedRows(), [](int byte) { return encodeEscapes(std::string(1, char(byte))); });
}

void TmapForm::resetEntireMapButtonClick() {
  if (confirm(1140, "Reset all map lines - are you sure?"))
    setRows(allRows(), [](int byte) { return encodeEscapes(std::string(1, char(byte))); });
}

void TmapForm::clearMapLineButtonClick() {
  setRows(selectedRows(), [](int) { return std::string(); });
}

void TmapForm::clearEntireMapButtonClick() {
  if (confirm(1150, "Clear all map lines - are you sure?"))
    setRows(allRows(), [](int) { return std::string(); });
}

void TmapForm::loadMapClick() {
  if (!node_)
    return;
  // The file dialog, a child of this editor, goes before the error's box:
  // while that runs, the editor may go with its window, and its children.
  const std::string name = [this] {
    FileDialog dialog(this, QStringLiteral("Open"), mapFilter());
    dialog.setObjectName(QStringLiteral("openMapDialog"));
    dialog.setFileMode(FileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("map"));
    dialog.setDirectory(fileNameToQString(programFolder() + "maps"));
    if (DialogRunner::exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
      return std::string();
    return fileNameFromQString(dialog.selectedFiles().front());
  }();
  if (name.empty())
    return;
  statusBarText(translateFormat(1160, "Opening %s", {name}));
  try {
    node_->loadFromTextFile(name);
  } catch (const Exception &error) {
    // Entries read before a bad line stay loaded, and are shown.
    const QPointer<TmapForm> self(this);
    showMessageBox(this, QMessageBox::Critical, QApplication::applicationName(),
                   toQString(error.message()));
    if (!self)
      return;
  }
  fieldChanged();
  whileFilling([&] { showEntries(node_->entries); });
}

void TmapForm::saveMapClick() {
  if (!node_)
    return;
  FileDialog dialog(this, messageText(1170, "Save Map"), mapFilter());
  dialog.setObjectName(QStringLiteral("saveMapDialog"));
  dialog.setAcceptMode(FileDialog::AcceptSave);
  dialog.setConfirmOverwrite(true);
  dialog.setDefaultSuffix(QStringLiteral("map"));
  // The map's own file, named as the dialog names what it offers: kept as
  // offered, it is that file even when its name has no text of its own.
  std::string offered;
  if (!node_->mapFileName.empty()) {
    std::error_code error;
    offered =
        std::filesystem::absolute(localPath(node_->mapFileName), error).lexically_normal().string();
    dialog.selectFile(fileNameToQString(offered));
  } else {
    dialog.setDirectory(fileNameToQString(programFolder() + "maps"));
  }
  if (DialogRunner::exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  const std::string name = fileNameFromQString(dialog.selectedFiles().front(), offered);
  statusBarText(translateFormat(1180, "Saving to %s", {name}));
  // The file gets what the grid shows, edits not yet taken included.
  getFromScreen(*node_);
  node_->saveToTextFile(name, [this](const std::string &message) { statusBarError(message); });
  // The window's map menu lists the map files.
  if (window())
    window()->mapFilesChanged();
}

void TmapForm::reverseMapButtonClick() {
  if (!node_)
    return;
  std::array<std::string, 256> reversed;
  try {
    std::array<unsigned char, 256> target{};
    for (int byte = 0; byte < 256; ++byte) {
      const std::string decoded = decodeEscapes(cell(byte));
      if (decoded.size() != 1) {
        statusBarError(
            translateFormat(1190, "Replacement for cell %d must be a single character", {byte}));
        return;
      }
      target[byte] = static_cast<unsigned char>(decoded[0]);
    }
    for (int byte = 0; byte < 256; ++byte)
      reversed[target[byte]] = encodeEscapes(std::string(1, static_cast<char>(byte)));
  } catch (const Exception &error) {
    statusBarError(error.message());
    return;
  }
  node_->entries = reversed;
  fieldChanged();
  // Shown again at once, so that leaving the editor keeps the reversed map.
  whileFilling([&] { showEntries(node_->entries); });
}

void registerEOLDialogs() {
  registerDialog<TEOLForm>("TEOLObject");
  registerDialog<TmapForm>("TUserObject");
}

} // namespace marrowen
