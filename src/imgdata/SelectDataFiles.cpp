#include "SelectDataFiles.h"

#include "DataSetList.h"
#include "FileDialogs.h"
#include "FieldValue.h"

#include <QDebug>
#include <QDir>

SelectDataFiles::SelectDataFiles(QWidget *parent)
    : QFrame(parent), dialog(nullptr, QString(), QString(), QString())
{
    setupUi(this);
    newOrAdd.addButton(LoadNewFiles);
    newOrAdd.addButton(AddFiles);
    newOrAdd.setExclusive(true);

    FileDialogs::setUp(dialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({tr("Itex File (*.img)"), tr("Tiff File (*.tif *.tiff)"), tr("HDF5 Series (*.h5 *.hdf5 *.hdf *.nxs)"),
                           tr("Any Files (* *.*)")});

    connect(Select, &QPushButton::clicked, this, [this] { FileDialogs::open(dialog, Selected->currentText()); });
    connect(&dialog, &QFileDialog::filesSelected, this, &SelectDataFiles::filesFromList);
    connect(Clear, &QPushButton::clicked, this, &SelectDataFiles::clearFiles);
    connect(Selected, &QComboBox::currentIndexChanged, this, &SelectDataFiles::currentIndexChanged);
}

void SelectDataFiles::showCount()
{
    Count->setText(QString::number(Selected->count()));
}

void SelectDataFiles::clearFiles()
{
    Selected->clear();
    showCount();
    emit filesCleared();
}

void SelectDataFiles::prev()
{
    if (Selected->currentIndex() > 0)
        Selected->setCurrentIndex(Selected->currentIndex() - 1);
}

void SelectDataFiles::next()
{
    if (Selected->currentIndex() < Selected->count() - 1)
        Selected->setCurrentIndex(Selected->currentIndex() + 1);
}

void SelectDataFiles::select(int index)
{
    if (0 <= index && index < Selected->count())
        Selected->setCurrentIndex(index);
}

void SelectDataFiles::addFileName(const QString &name)
{
    Selected->addItem(name);
    showCount();
}

void SelectDataFiles::filesFromList(const QStringList &files)
{
    const bool newFile = LoadNewFiles->isChecked();
    if (newFile)
        clearFiles();
    if (!LoadMultiTimes->isChecked() || files.isEmpty()) {
        emit filesSelected(files, newFile);
        return;
    }
    const int times = intFieldValue(MultiTimes->text());
    QStringList repeated;
    if (times > maxMultiTimes) {
        qDebug() << "Multi. count too large : " << times;
        emit filesSelected(repeated, newFile);
        return;
    }
    for (int i = 0; i < times; ++i)
        repeated.append(files.first());
    emit filesSelected(repeated, newFile);
}

void SelectDataFiles::setFileInfoList(const QFileInfoList &infos)
{
    QStringList files;
    for (const QFileInfo &info : infos)
        files.append(info.filePath());
    filesFromList(files);
}

void SelectDataFiles::selectInDir(const QString &dir, const QStringList &patterns)
{
    if (LoadNewFiles->isChecked()) {
        clearFiles();
        qDebug() << "clear files" << dialog.directory().absolutePath();
    }
    const QStringList files = filesInDir(dir, patterns);
    if (files.isEmpty())
        qDebug() << "No data files matching" << patterns << "in : " << dir;
    filesFromList(files);
}

void SelectDataFiles::setKeepConditions(bool keep)
{
    for (QWidget *w : {static_cast<QWidget *>(LoadNewFiles), static_cast<QWidget *>(AddFiles),
                       static_cast<QWidget *>(KeepConditions), static_cast<QWidget *>(LoadMultiTimes),
                       static_cast<QWidget *>(MultiTimes)})
        w->setVisible(!keep);
    if (keep)
        LoadNewFiles->setChecked(true);
}

void SelectDataFiles::setExpTime(double time)
{
    ExpTime->setText(realFieldText(time));
}

double SelectDataFiles::expTime()
{
    return realFieldValue(ExpTime->text());
}
