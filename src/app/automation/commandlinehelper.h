#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <string>
#include <string_view>

class QLabel;

namespace marrowen {

class TFormInfo;
class TdgGrid;

// `bytes` as one shell word that sh and an interactive bash alike pass on as
// those very bytes: in single quotes, a quote as '\'', and a run of bytes
// that no UTF-8 holds made by printf (the clipboard carries only UTF-8).
std::string shellWord(std::string_view bytes);
// The program and the filter file, each one shell word: what every command
// line of the helper starts with.
std::string baseCommand(std::string_view program, std::string_view filterFile);
// The ten rows of the helper's grid for a base command.
QStringList commandLineRows(const std::string &base);

// Ready-made command lines that load and run the active filter-list
// window's filter file, each copied to the clipboard by its button.
class TcommandLineHelperForm : public QWidget {
  Q_OBJECT
public:
  explicit TcommandLineHelperForm(QWidget *parent = nullptr);
  ~TcommandLineHelperForm() override;

  static TcommandLineHelperForm *instance();

  TdgGrid &grid() const { return *tsGrid1_; }
  QString errorText() const;

  void regenerateButtonClick();
  void tsGrid1ButtonClick(int dataCol, int dataRow);
  void tsGrid1DblClickCell(int dataCol, int dataRow);

private:
  QLabel *error_;
  TdgGrid *tsGrid1_;
  // The rows as made: the grid holds code-page text, which may lack letters
  // of a file's name, so an untouched row is copied from here.
  QStringList rows_;
  std::unique_ptr<TFormInfo> formInfo_;
};

// Shows the helper, made on first use.
void showCommandLineHelper();
// Offers the helper to the filter-list windows' menus as the command
// "CommandLineHelper".
void installCommandLineHelper();

} // namespace marrowen
