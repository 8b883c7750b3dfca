#include "app/main/optionsdialog.h"

#include "app/common/forminfo.h"
#include "app/common/translateform.h"
#include "classlib/asciitext.h"
#include "classlib/paths.h"
#include "components/dialogrunner.h"
#include "components/fileedits.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace marrowen {

namespace {

// An empty name field says in its placeholder what is used instead; the
// field is kept wide enough to show all of it beside the field's button, as
// the layout would otherwise give it only a few words.
void fitPlaceholder(TFilenameEdit &edit) {
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
  const QFontMetrics metrics(edit.font());
  // 2 on each side of the text, as a line edit leaves, and 2 before the button.
  const QSize text(metrics.horizontalAdvance(edit.placeholderText()) + 4 + edit.ButtonWidth() + 2,
                   metrics.height());
  edit.setMinimumWidth(
      edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, &edit).width());
}

} // namespace

QStringList availableLanguages() {
  // The folder as the file system spells its names: Qt's listing would show
  // every byte that no UTF-8 holds as the same U+FFFD, naming no file.
  QStringList names;
  for (const std::string &folder : {programFolder(), writableDataFolder()}) {
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(joinPath(folder, "Languages"), error), end;
         !error && it != end; it.increment(error))
      if (std::error_code notFile; it->is_regular_file(notFile))
        files.push_back(it->path().filename().native());
    std::sort(files.begin(), files.end());
    for (const std::string &file : files) {
      if (file.size() <= 4 || asciiLowerCase(file.substr(file.size() - 4)) != ".ini")
        continue;
      const QString name = fileNameToQString(file.substr(0, file.size() - 4));
      if (!names.contains(name, Qt::CaseInsensitive))
        names << name;
    }
  }
  return names;
}

ToptionsDialog::ToptionsDialog(const MainSettings &settings, QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OptionsDialog"));
  setWindowTitle(QStringLiteral("Marrowen preferences"));
  soundOnCompletion_ = new QCheckBox(QStringLiteral("&Play sound on completion"), this);
  soundOnCompletion_->setObjectName(QStringLiteral("soundOnCompletion"));
  soundFile_ = new TFilenameEdit(this);
  soundFile_->setObjectName(QStringLiteral("soundFile"));
  soundFile_->SetDefaultExt(QStringLiteral(".wav"));
  soundFile_->SetFilter(QStringLiteral("Sound files (*.wav)|*.wav|All files (*.*)|*.*"));
  soundFile_->setPlaceholderText(QStringLiteral("(the desktop's sound for a finished task)"));
  soundToPlayLabel_ = new QLabel(QStringLiteral("&Sound to play"), this);
  soundToPlayLabel_->setObjectName(QStringLiteral("soundToPlayLabel"));
  soundToPlayLabel_->setBuddy(soundFile_);
  editor_ = new TFilenameEdit(this);
  editor_->setObjectName(QStringLiteral("editor"));
  editor_->setPlaceholderText(QStringLiteral("(the default editor: $VISUAL, $EDITOR or xdg-open)"));
  auto *editorLabel = new QLabel(QStringLiteral("&Default editor (if no association found)"), this);
  editorLabel->setObjectName(QStringLiteral("editorLabel"));
  editorLabel->setBuddy(editor_);
  showTips_ = new QCheckBox(QStringLiteral("Show Tips of the Day"), this);
  showTips_->setObjectName(QStringLiteral("showTips"));
  fileHistoryEntries_ = new QSpinBox(this);
  fileHistoryEntries_->setObjectName(QStringLiteral("fileHistoryEntries"));
  fileHistoryEntries_->setRange(1, 9);
  auto *historyLabel = new QLabel(QStringLiteral("&File history entries"), this);
  historyLabel->setObjectName(QStringLiteral("fileHistoryLabel"));
  historyLabel->setBuddy(fileHistoryEntries_);
  sampleFont_ = new QLabel(QStringLiteral("Font for trial run areas"), this);
  sampleFont_->setObjectName(QStringLiteral("sampleFont"));
  sampleFont_->setFrameShape(QFrame::StyledPanel);
  auto *fontButton = new QPushButton(QStringLiteral("Font..."), this);
  fontButton->setObjectName(QStringLiteral("Button1"));
  languages_ = new QComboBox(this);
  languages_->setObjectName(QStringLiteral("languages"));
  languages_->setEditable(true);
  auto *languageLabel = new QLabel(QStringLiteral("&Language"), this);
  languageLabel->setObjectName(QStringLiteral("languageLabel"));
  languageLabel->setBuddy(languages_);
  auto *buttons = new QDialogButtonBox(this);
  auto *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("OKBtn"));
  ok->setDefault(true);
  auto *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("CancelBtn"));

  auto *form = new QFormLayout;
  form->addRow(soundOnCompletion_);
  form->addRow(soundToPlayLabel_, soundFile_);
  form->addRow(editorLabel, editor_);
  form->addRow(showTips_);
  form->addRow(historyLabel, fileHistoryEntries_);
  auto *fontRow = new QHBoxLayout;
  fontRow->addWidget(sampleFont_, 1);
  fontRow->addWidget(fontButton);
  form->addRow(fontRow);
  form->addRow(languageLabel, languages_);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(soundOnCompletion_, &QCheckBox::clicked, this, &ToptionsDialog::soundOnCompletionClick);
  connect(fontButton, &QPushButton::clicked, this, &ToptionsDialog::Button1Click);

  translateForm(this);
  fitPlaceholder(*soundFile_);
  fitPlaceholder(*editor_);
  soundOnCompletion_->setChecked(settings.playSound);
  soundFile_->setText(fileNameToQString(settings.soundFile));
  editor_->setText(fileNameToQString(settings.editor));
  showTips_->setChecked(settings.showTips);
  fileHistoryEntries_->setValue(settings.fileHistoryEntries);
  setTrialFont(trialFontOf(settings));
  languages_->addItems(availableLanguages());
  languages_->setCurrentText(fileNameToQString(settings.language));
  soundOnCompletionClick();
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("OptionsDialog"));
  formInfo_->Load();
}

ToptionsDialog::~ToptionsDialog() { formInfo_->Save(); }

void ToptionsDialog::soundOnCompletionClick() {
  soundFile_->setEnabled(soundOnCompletion_->isChecked());
  soundToPlayLabel_->setEnabled(soundOnCompletion_->isChecked());
}

void ToptionsDialog::setTrialFont(const QFont &font) {
  font_ = font;
  sampleFont_->setFont(font);
}

void ToptionsDialog::Button1Click() {
  // A family this desktop lacks is drawn in another; the dialog opens on that
  // one, as the dialog cannot select a family it does not list, and would
  // otherwise start on (and hand back) a face of its own choosing.
  const QFontInfo drawn(font_);
  QFont shown = font_;
  shown.setFamily(drawn.family());
  shown.setStyleName(drawn.styleName());
  QFontDialog dialog(shown, this);
  dialog.setObjectName(QStringLiteral("FontDialog1"));
  // Confirmed without a choice, the font stays as it was, name and size. The
  // dialog reports its own first selection as a change on some desktops, and
  // may start on another face where it lists none of ours: only a font other
  // than the one it opened on is a choice.
  const QFont opened = dialog.currentFont();
  if (DialogRunner::exec(dialog) != QDialog::Accepted)
    return;
  const auto same = [](const QFont &a, const QFont &b) {
    return a.family() == b.family() && a.styleName() == b.styleName() &&
           a.pointSizeF() == b.pointSizeF() && a.bold() == b.bold() && a.italic() == b.italic() &&
           a.underline() == b.underline() && a.strikeOut() == b.strikeOut();
  };
  const QFont picked = dialog.currentFont();
  if (!same(picked, shown) && !same(picked, opened))
    setTrialFont(picked);
}

bool ToptionsDialog::apply(MainSettings &settings) const {
  settings.playSound = soundOnCompletion_->isChecked();
  settings.soundFile = fileNameFromQString(soundFile_->text());
  settings.editor = fileNameFromQString(editor_->text());
  settings.showTips = showTips_->isChecked();
  settings.fileHistoryEntries = fileHistoryEntries_->value();
  storeTrialFont(settings, font_);
  const std::string language = fileNameFromQString(languages_->currentText(), settings.language);
  const bool changed = language != settings.language;
  settings.language = language;
  return changed;
}

} // namespace marrowen
