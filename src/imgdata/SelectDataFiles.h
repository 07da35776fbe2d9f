#pragma once

#include "ui_SelectDataFiles.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QStringList>

// The projection files of the current series. A selection (from the dialog, from a
// directory or from a data set) is handed to the main window by filesSelected; the
// window loads the files and lists each accepted one with addFileName. "New" clears
// the series first, "Add" (or neither) appends; "Multi." repeats the first file.
class SelectDataFiles : public QFrame, public Ui::SelectDataFiles
{
    Q_OBJECT
public:
    // More repetitions of one file than any scan has angles are taken as a typing error.
    static constexpr int maxMultiTimes = 100000;

    explicit SelectDataFiles(QWidget *parent = nullptr);

    void addFileName(const QString &name);
    void filesFromList(const QStringList &files);
    void setFileInfoList(const QFileInfoList &infos);
    // Selects the files of dir that match any of the patterns, sorted by name
    // ignoring case. None: one debug line, and an empty selection is still handed
    // on, so that whoever waits for the load hears of its end.
    void selectInDir(const QString &dir, const QStringList &patterns);
    // Keep-conditions mode (the I0 file list): the mode and multi-load controls are
    // hidden and every selection replaces the list.
    void setKeepConditions(bool keep);

    QFileDialog &fileDialog() { return dialog; }

signals:
    void currentIndexChanged(int index);
    void filesSelected(const QStringList &files, bool newFile);
    void filesCleared();

public slots:
    void clearFiles();
    void prev();
    void next();
    void select(int index);
    void setExpTime(double time);
    double expTime();

private:
    void showCount();

    QButtonGroup newOrAdd;
    QFileDialog dialog;
};
