#include "app/nodedialogs/eoldialogs.h"

#include "app_testing.h"
#include "components/filedialog.h"
#include "dialog_testing.h"
#include "engine/escapes.h"
#include "filterlist/eolnodes.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <filesystem>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::readFile;
using testing::RecordingSite;

using EOLForm = AppTest;

TEST_F(EOLForm, OptionsFollowTheConversionChosen) {
  RecordingSite site;
  TEOLForm form(nullptr, &site);
  TEOLObject node;
  node.convertFrom = 4;
  node.convertTo = 2;
  form.putToScreen(node);
  auto *length = form.findChild<QSpinBox *>("fixedLineLength");
  auto *removeBad = form.findChild<QCheckBox *>("removeExtraneous");
  auto *output = form.findChild<QLineEdit *>("EOLoutputText");
  EXPECT_TRUE(length->isEnabled());
  EXPECT_FALSE(removeBad->isEnabled());
  EXPECT_FALSE(output->isEnabled());
  EXPECT_EQ(site.changes, 0);

  auto buttons = form.findChild<TRadioGroup *>("convertFrom")->findChildren<QRadioButton *>();
  buttons[1]->click();
  EXPECT_FALSE(length->isEnabled());
  EXPECT_TRUE(removeBad->isEnabled());
  form.findChild<TRadioGroup *>("convertTo")->findChildren<QRadioButton *>()[4]->click();
  EXPECT_TRUE(output->isEnabled());
  EXPECT_GT(site.changes, 0);
  form.getFromScreen(node);
  EXPECT_EQ(node.convertFrom, 1);
  EXPECT_EQ(node.convertTo, 4);
}

class MapForm : public AppTest {
protected:
  RecordingSite site;
  TmapForm form{nullptr, &site};
  TUserObject node;

  QString cell(int byte) { return form.userReplacement().item(byte, 3)->text(); }
  void setCell(int byte, const QString &text) {
    form.userReplacement().item(byte, 3)->setText(text);
  }
  void selectRows(int first, int last) {
    form.userReplacement().clearSelection();
    form.userReplacement().setRangeSelected(QTableWidgetSelectionRange(first, 0, last, 3), true);
  }
  void identity() {
    for (int byte = 0; byte < 256; ++byte)
      node.entries[byte] = encodeEscapes(std::string(1, static_cast<char>(byte)));
  }
};

TEST_F(MapForm, ReverseSwapsBackEmptiesUnnamedBytesAndRefusesLongReplacements) {
  identity();
  node.entries[65] = "a";
  node.entries[97] = "A";
  node.entries[66] = "C"; // as 67 does: nothing maps to B now
  form.putToScreen(node);
  form.reverseMapButtonClick();
  EXPECT_EQ(node.entries[65], "a");
  EXPECT_EQ(node.entries[97], "A");
  EXPECT_EQ(node.entries[67], "C") << "the later byte wins";
  EXPECT_EQ(node.entries[66], "");
  EXPECT_EQ(cell(66), "") << "the grid shows the reversed map";
  // Leaving the editor keeps it.
  form.getFromScreen(node);
  EXPECT_EQ(node.entries[66], "");

  const auto before = node.entries;
  setCell(10, "xy");
  form.reverseMapButtonClick();
  EXPECT_EQ(site.status, "Replacement for cell 10 must be a single character");
  EXPECT_TRUE(site.statusIsError);
  EXPECT_EQ(node.entries, before);
}

TEST_F(MapForm, AnEntryTypedInTheGridStopsAtTheLastWholeLetterThatIsKept) {
  identity();
  form.putToScreen(node);
  QTableWidget &grid = form.userReplacement();
  form.show();
  // Two-, three- and four-byte letters, typed by the user past the entry's
  // 255 bytes: what the cell shows is what the map keeps.
  const QString letters[] = {QString::fromUtf8("\u00e4"), QString::fromUtf8("\u65e5"),
                             QString::fromUtf8("\U0001F600")};
  for (int row = 65; row < 68; ++row) {
    grid.editItem(grid.item(row, 3));
    auto *edit = grid.viewport()->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    for (int typed = 0; typed < 200; ++typed)
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, letters[row - 65], Qt::NoModifier);
    QTest::keyClick(edit, Qt::Key_Return);
    // The grid takes the text, and lets its editor go, on its next turns.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form.getFromScreen(node);
    const std::string kept = node.entries[row];
    EXPECT_GE(kept.size(), 252u) << row;
    EXPECT_LE(kept.size(), 255u) << row;
    EXPECT_EQ(fromQString(cell(row)), kept) << row;
  }
}

TEST_F(MapForm, ResetAndClearActOnTheSelectedRowsAndTheWholeMapAfterYes) {
  node.entries.fill("z");
  form.putToScreen(node);
  selectRows(65, 66);
  form.resetMapLineButtonClick();
  EXPECT_EQ(cell(65), "A");
  EXPECT_EQ(cell(64), "z");
  selectRows(9, 9);
  form.clearMapLineButtonClick();
  EXPECT_EQ(cell(9), "");
  EXPECT_EQ(cell(65), "A");
  boxAnswer = QMessageBox::No;
  form.clearEntireMapButtonClick();
  EXPECT_EQ(cell(0), "z");
  boxAnswer = QMessageBox::Yes;
  form.resetEntireMapButtonClick();
  EXPECT_EQ(cell(9), "\\t");
  EXPECT_EQ(boxTexts.back(), "Reset all map lines - are you sure?");
}

TEST_F(MapForm, SavedAndLoadedMapsKeepTheEntriesTheGridShows) {
  identity();
  form.putToScreen(node);
  // The map's own file, as offered, though no UTF-8 spells its name; the
  // status line names it as its bytes.
  const std::string own = dir.file("m \xCE\xA9 \xE9.map");
  node.mapFileName = own;
  dialogAnswer = [](QDialog &) { return static_cast<int>(QDialog::Accepted); };
  form.saveMapClick();
  EXPECT_EQ(site.status, "Saving to " + own);
  EXPECT_TRUE(readFile(own).starts_with(";Marrowen map file"));
  int maps = 0;
  for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
    maps += entry.path().extension() == ".map";
  EXPECT_EQ(maps, 1);
  setCell(0, "");
  setCell(200, QString::fromUtf8("\\xE9\u00e9"));
  const std::string file = dir.file("mine.map");
  dialogAnswer = [&](QDialog &dialog) {
    static_cast<FileDialog &>(dialog).selectFile(QString::fromStdString(file));
    return static_cast<int>(QDialog::Accepted);
  };
  form.saveMapClick();
  EXPECT_EQ(site.status, "Saving to " + file);

  TUserObject other;
  TmapForm otherForm(nullptr, &site);
  otherForm.putToScreen(other);
  otherForm.loadMapClick();
  EXPECT_EQ(other.entries, node.entries);
  // Typed text is UTF-8; an escape stays as written.
  EXPECT_EQ(other.entries[200], "\\xE9\xC3\xA9");
  EXPECT_EQ(otherForm.userReplacement().item(200, 3)->text(), toQString(node.entries[200]));
}

} // namespace
} // namespace marrowen
