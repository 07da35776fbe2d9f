#include "SelectAFile.h"

#include "FileDialogs.h"
#include "FieldStyle.h"

#include <QDir>
#include <QFileInfo>

SelectAFile::SelectAFile(QWidget *parent)
    : QFrame(parent), dialog(nullptr, QString(), QString(), QString())
{
    setupUi(this);
    Name->hide();
    AddTag->hide();
    FileDialogs::setUp(dialog);
    setMode(OpenFile);

    // FilePath holds the file opened, or the folder saved to.
    connect(Select, &QPushButton::clicked, this, [this] { FileDialogs::open(dialog, FilePath->text()); });
    connect(&dialog, &QFileDialog::fileSelected, this, &SelectAFile::fileSelected0);
    connect(Clear, &QPushButton::clicked, this, &SelectAFile::clear0);
}

void SelectAFile::setMode(int newMode)
{
    mode = newMode;
    switch (mode) {
    case OpenFile:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters({tr("Img file (*.img)"), tr("Tiff file (*.tif *.tiff)"),
                               tr("Any file (* *.*)")});
        break;
    case SaveLocation:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilters({tr("Any file (* *.*)")});
        break;
    default:
        break;
    }
}

void SelectAFile::showPath(const QString &path)
{
    if (mode == SaveLocation && !path.isEmpty())
        QDir().mkpath(path);
    FilePath->setText(path);
}

void SelectAFile::fileSelected0(QString fname)
{
    if (mode == OpenFile)
        showPath(fname);
    else if (mode == SaveLocation)
        showPath(QFileInfo(fname).absolutePath());
    Name->setText(QFileInfo(fname).baseName());
    emit fileSelected(fname);
}

void SelectAFile::clear0()
{
    showPath(QString());
    Name->clear();
    emit clear();
}

void SelectAFile::setStat(bool f)
{
    FilePath->setStyleSheet(f ? FieldStyle::good : FieldStyle::bad);
}
