#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace marrowen {

class SettingsStore;
class TFormInfo;
class TdgGrid;

// One filter the file manager's "Open With" offers.
struct ShellFilter {
  std::string name;
  std::string comment;
  std::string filter;
  std::string command;
  bool operator==(const ShellFilter &) const = default;
};

// Entries live under "SOFTWARE\Ostrevan\Marrowen\ShellFilters\<n>",
// numbered from 1; reading stops at a missing key or a key without "Name".
std::vector<ShellFilter> loadShellFilters(SettingsStore &store);
// Writes entries 1..count, then deletes the keys after them up to the first
// one missing; each entry with a name and a command gets a desktop entry,
// and the desktop entries of the others go.
void saveShellFilters(SettingsStore &store, const std::vector<ShellFilter> &filters);

// The command's arguments as a shell splits text that may hold double quotes.
std::vector<std::string> splitCommand(const std::string &command);
// $XDG_DATA_HOME/applications (default ~/.local/share/applications).
QString desktopEntryFolder();
QString desktopEntryFile(int number);
// The desktop entry of one filter, UTF-8: the program, then the command's
// arguments with %f replaced by the filter file and %p by the files chosen;
// through sh where the filter file's name holds bytes that no UTF-8 holds.
QByteArray desktopEntry(const ShellFilter &filter, const QString &program);

// The four commands the "Command" column offers.
const std::vector<std::string> &shellCommandPresets();

// The window that edits the shell filters in a grid.
class TshellExtensions : public QWidget {
  Q_OBJECT
public:
  explicit TshellExtensions(QWidget *parent = nullptr);
  ~TshellExtensions() override;

  static TshellExtensions *instance();

  TdgGrid &grid() const { return *fileGrid_; }
  std::vector<ShellFilter> rows() const;

  void applyButtonClick();
  void okButtonClick();
  void cancelButtonClick();
  void deleteButtonClick();
  // The browse button of a row's filter file; the command's presets.
  void fileGridButtonDown(int dataCol, int dataRow);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  TdgGrid *fileGrid_;
  std::unique_ptr<TFormInfo> formInfo_;
};

// Shows the window in the main window's workspace, made on first use.
void showShellExtensions();
// Plugs the window into the main window's Tools menu.
void installShellExtensions();

} // namespace marrowen
