#pragma once

#include <QString>

class QObject;
class QWidget;

namespace marrowen {

// Applies the installed language file to a form and everything inside it, in
// the section named after the form's class; a text the file lacks is added
// with its designed value, so one run writes a complete section for a
// translator. Each control's key is its objectName, a point and the
// property: "Caption" (title, text, menu title or tab text), "Hint" (tool tip
// "|" status tip), "Text" (an edit's text), "items" (a radio group's items,
// one per line). Qt's inner widgets (unnamed, or named "qt_...") are never
// keys. A stored value that cannot be decoded leaves the designed text.
void translateForm(QWidget *form);

// Marks a group box as a radio group: its radio buttons' texts translate as
// one "items" key, and nothing inside it is visited on its own.
void markRadioGroup(QObject *groupBox);

} // namespace marrowen
