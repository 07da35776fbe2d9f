#include "SelectDataDir.h"

#include <QRegularExpression>

SelectDataDir::SelectDataDir(QWidget *parent)
    : QFrame(parent)
{
    setupUi(this);
    SelDir->Select->setText(tr("Sel. Data Dir."));
    connect(SelDir, &SelectDir::aDirSelected, this, &SelectDataDir::aDirSelected);
    connect(Set, &QPushButton::clicked, this, &SelectDataDir::set);
    connect(Next, &QPushButton::clicked, this, &SelectDataDir::next);
    connect(isKSTStd_, &QCheckBox::toggled, this, &SelectDataDir::changedKSTStd);
}

SelectDataDir::~SelectDataDir() = default;

void SelectDataDir::aDirSelected(QString dir)
{
    // Scripts name the directory without the dialog: show it, since set() and a
    // mode change read it back from there.
    SelDir->setDirName(dir);
    if (isKSTStandard())
        setFileSets(dir);
    else
        setSubDirs(dir);
}

void SelectDataDir::changedKSTStd()
{
    // Before a directory is chosen there is nothing to list (an empty path would
    // stand for the working directory).
    if (!SelDir->SelectedDir->text().isEmpty())
        aDirSelected(SelDir->SelectedDir->text());
}

void SelectDataDir::setIsKSTStandard(bool b)
{
    isKSTStd_->setChecked(b);
}

void SelectDataDir::setSubDirs(QString dir)
{
    subDirs = DataSetList::ofSubDirs(dir);
    showList(subDirs);
}

void SelectDataDir::setFileSets(QString dir)
{
    DataSetList scanned = DataSetList::ofFileRuns(dir, Pattern->text(), references);
    if (scanned.count() == 0)
        return;
    fileRuns = std::move(scanned);
    showList(fileRuns);
}

void SelectDataDir::showList(const DataSetList &list)
{
    SubDirs->clear();
    for (int i = 0; i < list.count(); ++i)
        SubDirs->addItem(list.label(i));
}

int SelectDataDir::currentBelow(int count) const
{
    const int i = SubDirs->currentIndex();
    return i >= 0 && i < count ? i : -1;
}

void SelectDataDir::set()
{
    const DataSetList &list = listed();
    int i = currentBelow(list.count());
    while (i >= 0 && list.onlyReferences(i, references))
        i = nextIfAny() ? currentBelow(list.count()) : -1;
    if (i < 0)
        emit noMoreSets();
    else if (list.isFileRuns())
        emit selectedFileInfoList(list.files(i));
    else
        emit selected(list.subDirPath(i), Pattern->text().split(QRegularExpression(QStringLiteral("\\s+"))));
}

bool SelectDataDir::nextIfAny()
{
    const int i = SubDirs->currentIndex();
    if (i + 1 >= SubDirs->count())
        return false;
    SubDirs->setCurrentIndex(i + 1);
    return true;
}

bool SelectDataDir::selectByName(const QString &name)
{
    const DataSetList &list = listed();
    for (int i = 0; i < list.count() && i < SubDirs->count(); ++i)
        if (list.name(i) == name) {
            SubDirs->setCurrentIndex(i);
            return true;
        }
    return false;
}

void SelectDataDir::next()
{
    nextIfAny();
}

void SelectDataDir::setFirstSet()
{
    SubDirs->setCurrentIndex(0);
    set();
}

void SelectDataDir::setNextSet()
{
    if (nextIfAny())
        set();
    else
        emit noMoreSets();
}

QString SelectDataDir::currentSetName() const
{
    const int i = currentBelow(listed().count());
    return i < 0 ? QString() : listed().name(i);
}

double SelectDataDir::currentEnergy() const
{
    const int i = currentBelow(listed().count());
    return i < 0 ? 0.0 : listed().energy(i);
}
