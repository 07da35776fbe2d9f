#include "FileDialogs.h"

#include "DataRoot.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString FileDialogs::startFolder(const QString &currentFile)
{
    if (currentFile.isEmpty())
        return dataRoot();
    const QFileInfo current(currentFile);
    if (current.isDir())
        return current.absoluteFilePath();
    const QDir folder = current.absoluteDir();
    return folder.exists() ? folder.absolutePath() : dataRoot();
}

void FileDialogs::setUp(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAttribute(Qt::WA_QuitOnClose, false);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(kSize);
    dialog.setDirectory(dataRoot());
}

void FileDialogs::open(QFileDialog &dialog, const QString &currentFile)
{
    dialog.setDirectory(startFolder(currentFile));
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}
