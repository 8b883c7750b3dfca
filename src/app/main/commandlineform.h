#pragma once

#include <QStringList>
#include <QWidget>

#include <memory>

class QPlainTextEdit;

namespace marrowen {

class TFormInfo;
class TdgGrid;

// The parameters the program was started with, as a grid (number and text)
// and as one string in which a parameter holding a blank is quoted.
class TcommandLineForm : public QWidget {
  Q_OBJECT
public:
  // `arguments` begins with the program's own path.
  explicit TcommandLineForm(const QStringList &arguments, QWidget *parent = nullptr);
  ~TcommandLineForm() override;

  TdgGrid &grid() const { return *tsGrid1_; }
  QString memoText() const;

private:
  TdgGrid *tsGrid1_;
  QPlainTextEdit *memo_;
  std::unique_ptr<TFormInfo> formInfo_;
};

} // namespace marrowen
