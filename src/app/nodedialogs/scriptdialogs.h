#pragma once

#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/dialogcontrols.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace marrowen {

class MemoStatusBar;
class TDatabaseObject;
class TScriptObject;

// The script node's dialog: the script, its language, the example script
// and the check of the script's routines.
class TscriptForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TscriptForm(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  QPlainTextEdit &scriptMemo() const { return *scriptMemo_; }
  QComboBox &scriptLanguage() const { return *scriptLanguage_; }
  void scriptParseButtonClick();
  void BitBtn4Click();

private:
  QPlainTextEdit *scriptMemo_;
  QComboBox *scriptLanguage_;
  MemoStatusBar *scriptStatus_;
  BoundText script_, language_;
  FieldBindings<TScriptObject> fields_;
};

// The database node's dialog: the connection and the layout of the rows.
// The user name and password have no controls: the node keeps its own.
class TdataForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TdataForm(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  QLineEdit &dbConnection() const { return *dbConnection_; }
  void dbNewConnectionClick();
  void dbDelimitedClick();

private:
  QLineEdit *dbConnection_;
  QRadioButton *formats_[4];
  QLineEdit *dbInsertTable_;
  QComboBox *dbFieldDelimiter_;
  QComboBox *dbTextQualifier_;
  QLabel *delimiterLabel_;
  QLabel *qualifierLabel_;
  BoundText connection_, delimiter_, qualifier_, table_;
  BoundNumber format_;
  BoundFlag header_;
  FieldBindings<TDatabaseObject> fields_;
};

// Builds a connection string the database filter takes: a SQLite database
// file, an ODBC data source by name, or a connection string as typed.
class TconnectionBuilder : public QDialog {
  Q_OBJECT
public:
  TconnectionBuilder(QWidget *parent, const QString &connection);
  QString connectionString() const;

  QComboBox *kind;
  QLineEdit *source;
};

// Registers the dialogs under their nodes' class names.
void registerScriptDialogs();

} // namespace marrowen
