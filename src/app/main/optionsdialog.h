#pragma once

#include "app/main/appsettings.h"

#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace marrowen {

class TFilenameEdit;
class TFormInfo;

// The language files offered: "*.ini" of the program folder's "Languages"
// and of the data folder's, without the extension, each name once.
QStringList availableLanguages();

// Edits the main window's settings; only OK takes the controls' values.
class ToptionsDialog : public QDialog {
  Q_OBJECT
public:
  ToptionsDialog(const MainSettings &settings, QWidget *parent = nullptr);
  ~ToptionsDialog() override;

  // Copies the controls into `settings`; true when the language changed.
  bool apply(MainSettings &settings) const;
  QFont trialFont() const { return font_; }

  QCheckBox &soundOnCompletion() const { return *soundOnCompletion_; }
  TFilenameEdit &soundFile() const { return *soundFile_; }
  TFilenameEdit &editor() const { return *editor_; }
  QCheckBox &showTips() const { return *showTips_; }
  QSpinBox &fileHistoryEntries() const { return *fileHistoryEntries_; }
  QComboBox &languages() const { return *languages_; }
  void setTrialFont(const QFont &font);
  void Button1Click();

private:
  void soundOnCompletionClick();

  QCheckBox *soundOnCompletion_;
  TFilenameEdit *soundFile_;
  QLabel *soundToPlayLabel_;
  TFilenameEdit *editor_;
  QCheckBox *showTips_;
  QSpinBox *fileHistoryEntries_;
  QLabel *sampleFont_;
  QComboBox *languages_;
  QFont font_;
  std::unique_ptr<TFormInfo> formInfo_;
};

} // namespace marrowen
