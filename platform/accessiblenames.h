#pragma once

#include <QString>

class QComboBox;
class QLabel;

// What screen readers hear where Qt's own answer falls short.
namespace AccessibleNames {

// A drop-down list named by its label (on Linux Qt names a combo box by its
// current value); its value stays what it shows.
void NameComboBox(QComboBox* box, const QString& name);

// A label that shows a value: heard as `pattern` with %1 replaced by its
// text as it is now, e.g. "Found %1 files"; `emptyName` while it shows nothing.
void NameByValue(QLabel* label, const QString& pattern, const QString& emptyName);

} // namespace AccessibleNames
