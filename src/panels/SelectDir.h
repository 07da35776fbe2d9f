#pragma once

#include "ui_SelectDir.h"

#include <QFileDialog>
#include <QFrame>

// One directory, chosen with an embedded non-modal dialog that starts in the data
// root; the choice is shown read-only in `SelectedDir` and reported by aDirSelected.
class SelectDir : public QFrame, public Ui::SelectDir
{
    Q_OBJECT
public:
    explicit SelectDir(QWidget *parent = nullptr);

    QFileDialog &fileDialog() { return dialog; }

signals:
    void aDirSelected(QString dir);

public slots:
    void setDirName(QString dir);

private:
    QFileDialog dialog;
};
