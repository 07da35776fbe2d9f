#pragma once

#include <QSize>
#include <QString>

class QFileDialog;

// The one way every file dialog of the program is set up and opened: the toolkit's own
// dialog (the same on every desktop, and non-modal), a helper window that neither keeps
// the program alive nor ends it, large enough to show every column of its detail view,
// and opened in the folder of the file the user is working on.
namespace FileDialogs {
// Large enough for the name, size, type and date columns of the detail view.
inline constexpr QSize kSize{900, 560};
// The folder of currentFile (currentFile itself when it is a folder); the data root when
// currentFile is empty or its folder does not exist.
QString startFolder(const QString &currentFile);
// Once, when the dialog is made.
void setUp(QFileDialog &dialog);
// Each time it is asked for: in the start folder of currentFile, shown and raised.
void open(QFileDialog &dialog, const QString &currentFile);
} // namespace FileDialogs
