#include "app/automation/updateform.h"

#include "app/automation/httpget.h"
#include "app/common/forminfo.h"
#include "app/common/launcher.h"
#include "app/common/translateform.h"
#include "app/main/appsettings.h"
#include "app/main/mainform.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "engine/registryhelpers.h"
#include "filterlist/settings.h"
#include "qtext/qtext.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <charconv>
#include <cmath>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace marrowen {

namespace {

QPointer<TupdateForm> theForm;

const QDate serialBase(1899, 12, 30);

QDate dateOfSerial(std::int32_t serial) { return serialBase.addDays(serial); }
std::int32_t serialOfDate(const QDate &date) {
  return static_cast<std::int32_t>(serialBase.daysTo(date));
}

QString displayName() { return toQString(std::string(program::displayName)); }

// A date serial written as a number: an optional sign, digits with a point
// as the decimal separator whatever the locale says, an optional exponent.
// Words the C library would also read ("nan", "inf") and hexadecimal are
// no dates, and neither is a number too large for one.
std::optional<double> dateSerialOf(std::string field) {
  if (field.size() > 1 && field[0] == '+' && field[1] != '+' && field[1] != '-')
    field.erase(0, 1);
  if (field.empty() || field.find_first_not_of("0123456789.eE+-") != std::string::npos)
    return std::nullopt;
  double serial = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), serial);
  if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(serial))
    return std::nullopt;
  return serial;
}

} // namespace

std::int32_t todaySerial() { return serialOfDate(QDate::currentDate()); }

std::string getNetworkUserName() {
  std::string buffer(4096, '\0');
  passwd entry{};
  passwd *found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_name)
    return found->pw_name;
  return {};
}

std::string urlEncode(const std::string &text) {
  static const char hex[] = "0123456789abcdef";
  std::string result;
  result.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
        c == '*' || c == '-' || c == '.') {
      result += ch;
    } else if (c == ' ') {
      result += '+';
    } else {
      result += '%';
      result += hex[c >> 4];
      result += hex[c & 15];
    }
  }
  return result;
}

bool isUpdateCheckDue(const MainSettings &settings) {
  // Nothing is sent before the user has asked once: no stored date, no check.
  return settings.updateDate != 0 && todaySerial() >= settings.updateDate;
}

std::string &updateBaseAddress() {
  static std::string address = "http://www.ostrevan.com/";
  return address;
}

const QString &makerSiteAddress() {
  static const QString address = QStringLiteral("https://www.ostrevan.com/");
  return address;
}

TupdateForm *TupdateForm::instance() { return theForm; }

TupdateForm::TupdateForm(MainSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowStaysOnTopHint), settings_(settings) {
  theForm = this;
  setObjectName(QStringLiteral("updateForm"));
  setAttribute(Qt::WA_DeleteOnClose);
  setProperty("helpContext", 1350);
  setWindowTitle(QStringLiteral("%s update"));
  group_ = new QGroupBox(QStringLiteral(" This copy of %s may be out of date "), this);
  group_->setObjectName(QStringLiteral("GroupBox1"));
  checkWeb_ = new QRadioButton(QStringLiteral("Check web for updates now"), group_);
  checkWeb_->setObjectName(QStringLiteral("checkWeb"));
  checkWeb_->setChecked(true);
  dontAsk_ = new QRadioButton(QStringLiteral("Don't ask me again until"), group_);
  dontAsk_->setObjectName(QStringLiteral("dontAsk"));
  nextDate_ = new QDateEdit(group_);
  nextDate_->setObjectName(QStringLiteral("nextDate"));
  nextDate_->setCalendarPopup(true);
  nextDate_->setEnabled(false);
  connect(dontAsk_, &QRadioButton::toggled, nextDate_, &QWidget::setEnabled);
  auto *groupLayout = new QVBoxLayout(group_);
  groupLayout->addWidget(checkWeb_);
  auto *dateRow = new QHBoxLayout;
  dateRow->addWidget(dontAsk_);
  dateRow->addWidget(nextDate_);
  groupLayout->addLayout(dateRow);
  okButton_ = new QPushButton(this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  connect(okButton_, &QPushButton::clicked, this, &TupdateForm::okButtonClick);
  statusBar_ = new QStatusBar(this);
  statusBar_->setObjectName(QStringLiteral("StatusBar"));
  status_ = new QLabel(statusBar_);
  statusBar_->addWidget(status_, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(group_);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  layout->addLayout(buttons);
  layout->addWidget(statusBar_);
  HTTPGet1_ = new THTTPGet(this);
  HTTPGet1_->setObjectName(QStringLiteral("HTTPGet1"));
  HTTPGet1_->OnDoneString = [this](const std::string &text) { HTTPGet1DoneString(text); };
  HTTPGet1_->OnError = [this] { HTTPGet1Error(); };
  setOkKind(true);

  // FormCreate
  translateForm(this);
  setWindowTitle(windowTitle().replace(QStringLiteral("%s"), displayName()));
  group_->setTitle(group_->title().replace(QStringLiteral("%s"), displayName()));
  nextDate_->setDate(settings_.updateDate != 0 ? dateOfSerial(settings_.updateDate)
                                               : QDate::currentDate().addDays(30));
}

TupdateForm::~TupdateForm() {
  // The download goes with its component; its events never reach this window.
  HTTPGet1_->Abort();
  if (theForm == this)
    theForm = nullptr;
}

QString TupdateForm::statusText() const { return status_->text(); }

void TupdateForm::setOkKind(bool ok) {
  okKind_ = ok;
  okButton_->setText(ok ? QStringLiteral("OK") : QStringLiteral("Close"));
  // Only OK is the default: Enter in a field never stops a check under way.
  okButton_->setDefault(ok);
}

void TupdateForm::fetchPage() {
  HTTPGet1_->URL = updateBaseAddress() +
                   "versions.txt?application=" + urlEncode(std::string(program::displayName)) +
                   "&ver=" + urlEncode(std::string(program::version)) +
                   "&name=" + urlEncode(getNetworkUserName()) +
                   "&email=" + urlEncode(settings_.emailAddress);
  HTTPGet1_->Agent = std::string(program::displayName);
  HTTPGet1_->GetString();
}

void TupdateForm::okButtonClick() {
  if (!okKind_) {
    HTTPGet1_->Abort();
    setOkKind(true);
    return;
  }
  setOkKind(false);
  if (checkWeb_->isChecked()) {
    status_->setText(toQString(translate(300, "Checking for update...please wait")));
    fetchPage();
    return;
  }
  settings_.updateDate = serialOfDate(nextDate_->date());
  SettingsStore &store = settingsStore();
  const std::string key(program::registryKey);
  store.writeString(key, "rootDir", getApplicationFolder());
  store.writeInteger(key, "updateDate", settings_.updateDate);
  store.writeString(key, "emailAddress", settings_.emailAddress);
  close();
}

void TupdateForm::HTTPGet1DoneString(const std::string &text) {
  const std::string name(program::displayName);
  std::string rest;
  bool found = false;
  std::size_t start = 0;
  while (start <= text.size() && !found) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const auto comma = line.find(',');
    if (comma != std::string::npos && line.compare(0, comma, name) == 0) {
      rest = line.substr(comma + 1, 255);
      found = true;
    }
    start = end + 1;
  }
  // Any answer moves the next check on, whatever it says.
  settings_.updateDate = todaySerial() + 3;
  settingsStore().writeInteger(std::string(program::registryKey), "updateDate",
                               settings_.updateDate);
  if (found)
    checkVersionLine(rest);
  else if (isVisible())
    showMessageBox(this, QMessageBox::Information, windowTitle(),
                   toQString(translateFormat(350, "%s update information not found", {name})));
  if (!isVisible())
    close();
}

void TupdateForm::checkVersionLine(const std::string &rest) {
  const std::string name(program::displayName);
  std::string field = rest.substr(0, rest.find(','));
  const auto first = field.find_first_not_of(' ');
  field = first == std::string::npos ? std::string() : field.substr(first);
  field.erase(field.find_last_not_of(' ') + 1);
  QWidget *parent = isVisible() ? static_cast<QWidget *>(this) : TmainForm::instance();
  const std::optional<double> serial = dateSerialOf(field);
  if (!serial) {
    if (isVisible())
      showMessageBox(this, QMessageBox::Warning, windowTitle(),
                     toQString(translateFormat(
                         320, "%s date information found in invalid format %s", {name, field})));
    return;
  }
  if (*serial > releaseDate) {
    const QString text = toQString(translateFormat(
        330, "A %s update is available - would you like to download it now?", {name}));
    // With nobody to answer, the news is told and nothing is opened: a
    // browser started by an unattended run would be answered by no one.
    if (!DialogRunner::canAsk()) {
      showMessageBox(parent, QMessageBox::Information, windowTitle(), text);
      return;
    }
    const auto answer =
        showMessageBox(parent, QMessageBox::Question, windowTitle(), text,
                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
      launcher().openUrl(makerSiteAddress());
  } else if (isVisible()) {
    showMessageBox(
        this, QMessageBox::Information, windowTitle(),
        toQString(translateFormat(
            340, "You already have the latest version of %s - no download is necessary", {name})));
  }
}

void TupdateForm::HTTPGet1Error() {
  if (isVisible())
    status_->setText(toQString(translate(310, "Error connecting to web site")));
  else
    close();
}

void autoCheckForUpdate() {
  TmainForm *main = TmainForm::instance();
  if (!main || TupdateForm::instance() || !isUpdateCheckDue(main->settings()))
    return;
  auto *form = new TupdateForm(main->settings(), main);
  form->fetchPage();
}

void showUpdateForm() {
  TmainForm *main = TmainForm::instance();
  if (!main)
    return;
  TupdateForm *form = TupdateForm::instance();
  if (!form)
    form = new TupdateForm(main->settings(), main);
  form->show();
  form->raise();
}

void installUpdateCheck() {
  mainFormHooks().updateCheck = autoCheckForUpdate;
  mainFormHooks().commands.Checkweb1 = showUpdateForm;
}

} // namespace marrowen
