#pragma once

#include "ui_SelectAFile.h"

#include <QFileDialog>
#include <QFrame>

// One file, chosen with an embedded non-modal file dialog that starts in the data
// root. Mode 0 opens an existing image file; mode 1 picks a save location, whose
// directory is created and shown in `FilePath` (the file name's base goes to `Name`).
class SelectAFile : public QFrame, public Ui::SelectAFile
{
    Q_OBJECT
public:
    enum Mode { OpenFile = 0, SaveLocation = 1 };

    explicit SelectAFile(QWidget *parent = nullptr);

    void setMode(int mode);
    // Shows path in FilePath; in save mode a non-empty path is created first
    // (with all missing parents; a failure is not reported, the path is shown anyway).
    void showPath(const QString &path);

    QFileDialog &fileDialog() { return dialog; }

signals:
    void fileSelected(QString fname);
    void clear();

public slots:
    void setStat(bool f);
    void fileSelected0(QString fname);
    void clear0();

private:
    int mode = OpenFile;
    QFileDialog dialog;
};
