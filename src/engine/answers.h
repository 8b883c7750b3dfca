#pragma once

namespace marrowen {

// The answers to the questions a job asks: the confirmation box's results
// and the query-replace dialog's, valued as the windows return them (and as
// a standing answer is kept). Replace and Skip are the dialog's names for
// Yes and No.
enum class Answer : int {
  None = 0,
  Cancel = 2,
  Yes = 6,
  No = 7,
  NoToAll = 9,
  YesToAll = 10,
  Replace = Yes,
  Skip = No,
  ReplaceFile = 20,
  SkipFile = 21,
  ReplaceJob = 22,
  SkipJob = 23,
  Stop = 24,
  ReplaceSelection = 25,
  SkipSelection = 26,
};

} // namespace marrowen
