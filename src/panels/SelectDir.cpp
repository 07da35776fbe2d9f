#include "SelectDir.h"

#include "FileDialogs.h"

SelectDir::SelectDir(QWidget *parent)
    : QFrame(parent), dialog(nullptr, QString(), QString(), QString())
{
    setupUi(this);
    FileDialogs::setUp(dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(tr("(*)"));

    connect(Select, &QPushButton::clicked, this, [this] { FileDialogs::open(dialog, SelectedDir->text()); });
    connect(&dialog, &QFileDialog::fileSelected, this, &SelectDir::aDirSelected);
    connect(&dialog, &QFileDialog::fileSelected, this, &SelectDir::setDirName);
}

void SelectDir::setDirName(QString dir)
{
    SelectedDir->setText(dir);
}
