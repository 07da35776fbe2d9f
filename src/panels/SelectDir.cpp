#include "SelectDir.h"

#include "DataRoot.h"

SelectDir::SelectDir(QWidget *parent)
    : QFrame(parent), dialog(nullptr, QString(), QString(), QString())
{
    setupUi(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAttribute(Qt::WA_QuitOnClose, false); // a helper window, not the program's
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(tr("(*)"));
    dialog.setDirectory(dataRoot());

    connect(Select, &QPushButton::clicked, &dialog, &QFileDialog::show);
    connect(&dialog, &QFileDialog::fileSelected, this, &SelectDir::aDirSelected);
    connect(&dialog, &QFileDialog::fileSelected, this, &SelectDir::setDirName);
}

void SelectDir::setDirName(QString dir)
{
    SelectedDir->setText(dir);
}
