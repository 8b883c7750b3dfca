#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace marrowen {

class THTTPGet;
struct MainSettings;

// The release date of this version as a day serial (days since 30 December
// 1899, the fraction the time of day).
inline constexpr double releaseDate = 37227.5898724537;

// Today's whole day serial.
std::int32_t todaySerial();
// The logged-on user's name; empty when it cannot be found.
std::string getNetworkUserName();
// Letters, digits, "_", "*", "-" and "." stay; a blank becomes "+"; every
// other byte "%" and two lower-case hex digits.
std::string urlEncode(const std::string &text);
// Whether the automatic check is due: only once the user has checked or
// picked a date, when that date has come.
bool isUpdateCheckDue(const MainSettings &settings);

// Where the version file is asked for; tests point it at a local server.
std::string &updateBaseAddress();
// The maker's web site, opened when an update is available.
const QString &makerSiteAddress();

// Asks the maker's server whether a newer version exists and sets the date
// of the next automatic check. A dialog shown without holding up the
// program: Enter presses OK, which is the default button while it is OK.
class TupdateForm : public QDialog {
  Q_OBJECT
public:
  explicit TupdateForm(MainSettings &settings, QWidget *parent = nullptr);
  ~TupdateForm() override;

  // The one window; none when it is not open.
  static TupdateForm *instance();

  void fetchPage();
  void checkVersionLine(const std::string &rest);
  void okButtonClick();
  // The answer's text, as the download hands it over.
  void HTTPGet1DoneString(const std::string &text);
  void HTTPGet1Error();

  QRadioButton *checkWeb() const { return checkWeb_; }
  QRadioButton *dontAsk() const { return dontAsk_; }
  QDateEdit *nextDate() const { return nextDate_; }
  QPushButton *okButton() const { return okButton_; }
  QString statusText() const;
  THTTPGet &httpGet() const { return *HTTPGet1_; }
  bool isOkButton() const { return okKind_; }

private:
  void setOkKind(bool ok);

  MainSettings &settings_;
  QGroupBox *group_;
  QRadioButton *checkWeb_;
  QRadioButton *dontAsk_;
  QDateEdit *nextDate_;
  QStatusBar *statusBar_;
  QLabel *status_;
  QPushButton *okButton_;
  THTTPGet *HTTPGet1_;
  bool okKind_ = true;
};

// At start-up: when the check is due, the window made unseen checks.
void autoCheckForUpdate();
// The Help menu's item: the window shown, made on first use.
void showUpdateForm();
// Plugs the update check into the main window's start-up and Help menu.
void installUpdateCheck();

} // namespace marrowen
