#include "app/nodedialogs/scriptdialogs.h"

#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "classlib/exceptions.h"
#include "components/dialogrunner.h"
#include "components/fileedits.h"
#include "engine/messages.h"
#include "filterlist/scriptnodes.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace marrowen {

// --- TscriptForm ---

TscriptForm::TscriptForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("scriptForm"));
  setHelpContext(1310);
  scriptMemo_ = namedMemo(this, "scriptMemo", true);
  scriptLanguage_ = new QComboBox(this);
  scriptLanguage_->setObjectName(QStringLiteral("scriptLanguage"));
  scriptLanguage_->setEditable(true);
  scriptLanguage_->addItems({QStringLiteral("VBScript"), QStringLiteral("JScript"),
                             QStringLiteral("VBA"), QStringLiteral("PerlScript")});
  auto *addDefault = namedButton(this, "BitBtn4", QStringLiteral("&Add default text"));
  auto *check = namedButton(this, "scriptParseButton", QStringLiteral("&Check script"));
  scriptStatus_ = new MemoStatusBar(this);
  scriptStatus_->setObjectName(QStringLiteral("scriptStatus"));
  auto *row = new QHBoxLayout;
  row->addWidget(namedLabel(this, "Label1", QStringLiteral("&Language"), scriptLanguage_));
  row->addWidget(scriptLanguage_);
  row->addStretch();
  row->addWidget(addDefault);
  row->addWidget(check);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(scriptMemo_, 1);
  layout->addWidget(scriptStatus_);

  script_ = memoValue(scriptMemo_);
  language_ = comboTextValue(scriptLanguage_);
  fields_.bind(&TScriptObject::script, script_);
  fields_.bind(&TScriptObject::language, language_);
  bindMemoStatus(scriptMemo_, scriptStatus_);
  connect(scriptMemo_, &QPlainTextEdit::textChanged, this, &TscriptForm::fieldChanged);
  connect(scriptLanguage_, &QComboBox::editTextChanged, this, &TscriptForm::fieldChanged);
  connect(addDefault, &QPushButton::clicked, this, &TscriptForm::BitBtn4Click);
  connect(check, &QPushButton::clicked, this, &TscriptForm::scriptParseButtonClick);
  prepareNoFrillsPopup(scriptMemo_);
  prepareNoFrillsPopup(scriptLanguage_);
}

void TscriptForm::putToScreen(TListObject &node) {
  whileFilling([&] { fields_.put(dynamic_cast<TScriptObject &>(node)); });
  UpdateMemoPosAndSize(scriptMemo_, scriptStatus_);
}

void TscriptForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TScriptObject &>(node));
}

bool TscriptForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TScriptObject &>(node));
}

void TscriptForm::scriptParseButtonClick() {
  try {
    TScriptObject::validate(language_.value(), script_.value());
  } catch (const Exception &error) {
    showMessageBox(this, QMessageBox::Critical, QApplication::applicationName(),
                   toQString(error.message()));
    return;
  }
  showMessageBox(this, QMessageBox::Information, QApplication::applicationName(),
                 messageText(700, "Script passed checks Ok"));
}

void TscriptForm::BitBtn4Click() {
  fieldChanged();
  // The example is JScript, the one language that runs here.
  scriptLanguage_->setEditText(QStringLiteral("JScript"));
  scriptMemo_->moveCursor(QTextCursor::End);
  scriptMemo_->insertPlainText(toQString(TScriptObject::defaultScript()));
  UpdateMemoPosAndSize(scriptMemo_, scriptStatus_);
}

// --- TdataForm ---

TdataForm::TdataForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("dataForm"));
  setHelpContext(1440);
  dbConnection_ = namedEdit(this, "dbConnection");
  auto *build = namedButton(this, "dbNewConnection", QStringLiteral("&Build"));
  formats_[0] = namedRadio(this, "dbDelimited", QStringLiteral("Delimited"));
  formats_[1] = namedRadio(this, "dbFixed", QStringLiteral("Fixed width columns"));
  formats_[2] = namedRadio(this, "dbXML", QStringLiteral("XML"));
  formats_[3] = namedRadio(this, "dbInsert", QStringLiteral("Insert script for table"));
  dbInsertTable_ = namedEdit(this, "dbInsertTable");
  dbFieldDelimiter_ = new QComboBox(this);
  dbFieldDelimiter_->setObjectName(QStringLiteral("dbFieldDelimiter"));
  dbFieldDelimiter_->setEditable(true);
  for (const char *item :
       {",", ";", "-", "|", "!", "@", "#", "$", "%", "^", "&", "*", "~", "-", "\\009"})
    dbFieldDelimiter_->addItem(QString::fromLatin1(item));
  dbFieldDelimiter_->setEditText(QStringLiteral(","));
  dbTextQualifier_ = new QComboBox(this);
  dbTextQualifier_->setObjectName(QStringLiteral("dbTextQualifier"));
  dbTextQualifier_->setEditable(true);
  dbTextQualifier_->addItems({QStringLiteral("\""), QStringLiteral("'")});
  delimiterLabel_ =
      namedLabel(this, "delimiterLabel", QStringLiteral("Field &delimiter"), dbFieldDelimiter_);
  qualifierLabel_ =
      namedLabel(this, "qualifierLabel", QStringLiteral("&Text qualifier"), dbTextQualifier_);
  auto *header = namedCheckBox(this, "dbGenerateHeader", QStringLiteral("Output header row/DTD"));

  auto *connectionRow = new QHBoxLayout;
  connectionRow->addWidget(dbConnection_, 1);
  connectionRow->addWidget(build);
  auto *grid = new QGridLayout;
  grid->addWidget(formats_[0], 0, 0);
  grid->addWidget(delimiterLabel_, 0, 1);
  grid->addWidget(dbFieldDelimiter_, 0, 2);
  grid->addWidget(qualifierLabel_, 1, 1);
  grid->addWidget(dbTextQualifier_, 1, 2);
  grid->addWidget(formats_[1], 2, 0);
  grid->addWidget(formats_[2], 3, 0);
  grid->addWidget(formats_[3], 4, 0);
  grid->addWidget(dbInsertTable_, 4, 1, 1, 2);
  grid->setColumnStretch(3, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(namedLabel(this, "Label1", QStringLiteral("&Connection"), dbConnection_));
  layout->addLayout(connectionRow);
  layout->addLayout(grid);
  layout->addWidget(header);
  layout->addStretch();

  // The connection names the database file as the file system spells it.
  connection_ = fileNameValue(dbConnection_);
  // The checked button's place; none checked reads as the insert script.
  format_ = BoundNumber(
      [this](const std::int32_t &format) {
        for (int i = 0; i < 4; ++i) {
          formats_[i]->setAutoExclusive(false);
          formats_[i]->setChecked(i == format);
          formats_[i]->setAutoExclusive(true);
        }
      },
      [this] {
        for (int i = 0; i < 3; ++i)
          if (formats_[i]->isChecked())
            return i;
        return 3;
      });
  delimiter_ = comboTextValue(dbFieldDelimiter_);
  qualifier_ = comboTextValue(dbTextQualifier_);
  header_ = checkBoxValue(header);
  table_ = lineEditValue(dbInsertTable_);
  fields_.bind(&TDatabaseObject::connection, connection_);
  fields_.bind(&TDatabaseObject::outputFormat, format_);
  fields_.bind(&TDatabaseObject::fieldDelimiter, delimiter_);
  fields_.bind(&TDatabaseObject::textQualifier, qualifier_);
  fields_.bind(&TDatabaseObject::generateHeader, header_);
  fields_.bind(&TDatabaseObject::insertTable, table_);

  connect(build, &QPushButton::clicked, this, &TdataForm::dbNewConnectionClick);
  for (QRadioButton *button : formats_)
    connect(button, &QRadioButton::clicked, this, &TdataForm::dbDelimitedClick);
  connect(dbConnection_, &QLineEdit::textChanged, this, &TdataForm::fieldChanged);
  connect(dbInsertTable_, &QLineEdit::textChanged, this, &TdataForm::fieldChanged);
  connect(dbFieldDelimiter_, &QComboBox::editTextChanged, this, &TdataForm::fieldChanged);
  connect(dbTextQualifier_, &QComboBox::editTextChanged, this, &TdataForm::fieldChanged);
  connect(header, &QCheckBox::clicked, this, &TdataForm::fieldChanged);
  prepareNoFrillsPopup(dbFieldDelimiter_);
  prepareNoFrillsPopup(dbTextQualifier_);
  prepareNoFrillsPopup(dbConnection_);
}

void TdataForm::putToScreen(TListObject &node) {
  whileFilling([&] {
    fields_.put(dynamic_cast<TDatabaseObject &>(node));
    dbDelimitedClick();
  });
}

void TdataForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TDatabaseObject &>(node));
}

bool TdataForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TDatabaseObject &>(node));
}

void TdataForm::dbDelimitedClick() {
  fieldChanged();
  const bool delimited = formats_[0]->isChecked();
  for (QWidget *control : std::initializer_list<QWidget *>{dbFieldDelimiter_, dbTextQualifier_,
                                                           delimiterLabel_, qualifierLabel_})
    control->setEnabled(delimited);
  dbInsertTable_->setEnabled(formats_[3]->isChecked());
}

void TdataForm::dbNewConnectionClick() {
  TconnectionBuilder builder(this, dbConnection_->text());
  if (DialogRunner::exec(builder) != QDialog::Accepted)
    return;
  const QString built = builder.connectionString();
  if (built != dbConnection_->text())
    dbConnection_->setText(built);
}

// --- TconnectionBuilder ---

TconnectionBuilder::TconnectionBuilder(QWidget *parent, const QString &connection)
    : QDialog(parent) {
  setObjectName(QStringLiteral("connectionBuilder"));
  setWindowTitle(QStringLiteral("Data source"));
  kind = new QComboBox(this);
  kind->setObjectName(QStringLiteral("kind"));
  kind->addItems({QStringLiteral("SQLite database file"), QStringLiteral("ODBC data source (DSN)"),
                  QStringLiteral("Connection string")});
  source = new TFilenameEdit(this);
  source->setObjectName(QStringLiteral("source"));
  source->setText(connection);
  kind->setCurrentIndex(connection.contains('=') ? 2 : 0);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto *form = new QFormLayout(this);
  form->addRow(QStringLiteral("&Kind"), kind);
  form->addRow(QStringLiteral("&Source"), source);
  form->addRow(buttons);
}

QString TconnectionBuilder::connectionString() const {
  const QString text = source->text().trimmed();
  switch (kind->currentIndex()) {
  case 0: {
    if (text.contains('='))
      return text;
    // The file box quotes a name that holds a blank; the connection takes the
    // name itself.
    const bool quoted = text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"');
    return QStringLiteral("Driver=SQLite3;Database=") +
           (quoted ? text.mid(1, text.size() - 2) : text);
  }
  case 1:
    return text.startsWith(QStringLiteral("DSN="), Qt::CaseInsensitive) ? text
                                                                        : "DSN=" + text + ';';
  default:
    return text;
  }
}

void registerScriptDialogs() {
  registerDialog<TscriptForm>("TScriptObject");
  registerDialog<TdataForm>("TDatabaseObject");
}

} // namespace marrowen
