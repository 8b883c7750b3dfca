#include "screens.h"

#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "components/fileedits.h"
#include "components/filelabel.h"
#include "components/speedbutton.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace marrowen {

namespace {

// A panel of captioned rows, one per state.
class StatePanel {
public:
  StatePanel() {
    panel_.setAutoFillBackground(true);
    grid_ = new QGridLayout(&panel_);
  }
  template <class W> W *add(const QString &caption, W *widget) {
    const int row = grid_->rowCount();
    grid_->addWidget(new QLabel(caption, &panel_), row, 0);
    grid_->addWidget(widget, row, 1);
    return widget;
  }
  QWidget &panel() { return panel_; }

private:
  QWidget panel_;
  QGridLayout *grid_;
};

// Lets the file system model fill the tree before the picture is taken.
void settle(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void press(QWidget &widget) {
  QMouseEvent event(QEvent::MouseButtonPress, QPointF(3, 3), widget.mapToGlobal(QPointF(3, 3)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

// A blue square on magenta, or three frames of it: up, disabled (grey) and
// down (darker).
QImage sampleGlyph(int frames) {
  QImage glyph(16 * frames, 16, QImage::Format_ARGB32);
  glyph.fill(QColor(255, 0, 255));
  QPainter painter(&glyph);
  const QColor colours[] = {QColor(40, 90, 200), QColor(150, 150, 150), QColor(20, 50, 120)};
  for (int frame = 0; frame < frames; ++frame) {
    painter.fillRect(frame * 16 + 2, 2, 12, 11, Qt::black);
    painter.fillRect(frame * 16 + 3, 3, 10, 9, colours[frame]);
  }
  return glyph;
}

QImage speedButtons() {
  StatePanel states;
  QWidget &panel = states.panel();
  QMenu menu;
  menu.addAction("item");
  auto button = [&](const QString &caption, auto configure) {
    auto *b = new TKitSpeedButton(&panel);
    b->setFixedSize(80, 28);
    b->SetCaption("&Go");
    b->SetGlyph(sampleGlyph(3));
    b->SetLayout(blGlyphLeft);
    configure(*b);
    return states.add(caption, b);
  };
  button("up", [](TKitSpeedButton &) {});
  TKitSpeedButton *held = button("down (held)", [](TKitSpeedButton &) {});
  button("exclusive (group)", [](TKitSpeedButton &b) {
    b.SetGroupIndex(1);
    b.SetDown(true);
  });
  button("disabled, embossed", [](TKitSpeedButton &b) {
    b.SetGlyph(sampleGlyph(1));
    b.setEnabled(false);
  });
  button("disabled, frame 1", [](TKitSpeedButton &b) { b.setEnabled(false); });
  button("flat, inactive grey", [](TKitSpeedButton &b) { b.SetFlat(true); });
  button("old style", [](TKitSpeedButton &b) { b.SetStyle(TKitSpeedButton::bsWin31); });
  button("drop-down mark", [&](TKitSpeedButton &b) { b.SetDropDownMenu(&menu); });
  panel.show();
  press(*held);
  return renderWidget(panel);
}

QImage editBoxes() {
  StatePanel states;
  QWidget &panel = states.panel();
  panel.resize(360, 10);
  auto *file = states.add("file name", new TFilenameEdit(&panel));
  file->SetFileName("/home/user/my notes/report[1].txt");
  auto *disabled = states.add("disabled", new TFilenameEdit(&panel));
  disabled->SetFileName("/etc/hosts");
  disabled->setEnabled(false);
  auto *readOnly = states.add("read-only", new TFilenameEdit(&panel));
  readOnly->SetFileName("/etc/hosts");
  readOnly->SetReadOnly(true);
  auto *folder = states.add("folder", new TDirectoryEdit(&panel));
  folder->setText("/usr/share");
  auto *ellipsis = states.add("ellipsis glyph", new TCustomComboEdit(&panel));
  ellipsis->SetGlyphKind(TCustomComboEdit::gkEllipsis);
  auto *dropDown = states.add("drop-down glyph", new TCustomComboEdit(&panel));
  dropDown->SetGlyphKind(TCustomComboEdit::gkDropDown);
  auto *noButton = states.add("no button", new TFilenameEdit(&panel));
  noButton->setText("button width 0");
  noButton->SetButtonWidth(0);
  panel.show();
  for (TCustomComboEdit *edit : panel.findChildren<TCustomComboEdit *>())
    edit->setCursorPosition(0);
  panel.setFocusPolicy(Qt::StrongFocus);
  panel.setFocus();
  return renderWidget(panel);
}

QImage pathLabels() {
  StatePanel states;
  QWidget &panel = states.panel();
  const QString path = "C:/data/inbox/archive/a.txt";
  for (int width : {400, 150, 110, 80, 40}) {
    for (auto direction : {TFileLabel::drFromLeft, TFileLabel::drFromRight}) {
      auto *label = new TFileLabel(&panel);
      label->SetDirection(direction);
      label->SetFileName(path);
      label->setFixedWidth(width);
      label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
      label->setFrameShape(QFrame::Box);
      states.add(QString("%1 px, %2")
                     .arg(width)
                     .arg(direction == TFileLabel::drFromLeft ? "from left" : "from right"),
                 label);
    }
  }
  return renderWidget(panel);
}

// Shows a picker through the dialog runner and photographs it there.
QImage pictureOf(const std::function<void()> &execute) {
  QImage picture;
  ScopedDialogRunner runner([&](QDialog &dialog) {
    dialog.show();
    settle(300);
    picture = renderWidget(dialog);
    return int(QDialog::Rejected);
  });
  execute();
  return picture;
}

QImage browseDirectoryDialog() {
  return pictureOf([] {
    TBrowseDirectoryDlg picker;
    picker.SetTitle("Choose a folder");
    picker.SetCaption("Select a folder to process");
    picker.SetStatusText("/usr/share/doc");
    picker.SetShowSelectionInStatus(true);
    picker.SetSelection("/usr/share");
    picker.Execute();
  });
}

QImage browseFolderDialog() {
  return pictureOf([] {
    QString folder = "/usr";
    BrowseFolder(folder, "Browse for a folder", 1);
  });
}

} // namespace

std::vector<Screen> componentScreens() {
  return {{"kit_speed_buttons", speedButtons},
          {"kit_edit_boxes", editBoxes},
          {"kit_path_labels", pathLabels},
          {"kit_browse_directory_dialog", browseDirectoryDialog},
          {"kit_browse_folder_dialog", browseFolderDialog}};
}

} // namespace marrowen
