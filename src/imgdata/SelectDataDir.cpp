#include "SelectDataDir.h"

#include "DataSetName.h"
#include "FieldValue.h"

#include <QDebug>
#include <QDir>

#include <algorithm>
#include <QRegularExpression>

namespace {

// A sample name repeated on consecutive entries is shown as blanks of its width.
constexpr int maxSampleBlanks = 101;

} // namespace

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
    subDirNames = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    SubDirs->clear();
    for (int i = 0; i < subDirNames.size(); ++i)
        SubDirs->addItem(QStringLiteral("%1 : %2").arg(i + 1).arg(subDirNames[i]));
}

void SelectDataDir::setFileSets(QString dir)
{
    QFileInfoList files = QDir(dir).entryInfoList({Pattern->text()}, QDir::Files, QDir::Name);
    files.removeIf([this](const QFileInfo &file) { return references.contains(file.absoluteFilePath()); });
    if (files.isEmpty()) {
        qDebug() << "No files matching" << Pattern->text() << "in : " << dir;
        return;
    }
    sets = groupIntoFileSets(files);
    SubDirs->clear();
    for (size_t i = 0; i < sets.size(); ++i) {
        const CtFileSet &fileSet = *sets[i];
        QString sample = fileSet.sample();
        if (i > 0 && sample == sets[i - 1]->sample())
            sample = QString(std::min<qsizetype>(sample.size(), maxSampleBlanks), QLatin1Char(' '));
        SubDirs->addItem(QStringLiteral("%1 : %2 (%3[%4], %5)")
                             .arg(i + 1)
                             .arg(sample, realFieldText(fileSet.energy()), fileSet.unit())
                             .arg(fileSet.files().size()));
    }
}

bool SelectDataDir::onlyReferences(const CtFileSet &set) const
{
    const QFileInfoList &files = set.files();
    return !references.isEmpty()
           && std::all_of(files.begin(), files.end(), [this](const QFileInfo &file) { return references.contains(file.absoluteFilePath()); });
}

int SelectDataDir::currentBelow(size_t count) const
{
    const int i = SubDirs->currentIndex();
    return i >= 0 && size_t(i) < count ? i : -1;
}

void SelectDataDir::set()
{
    if (isKSTStandard()) {
        int i = currentBelow(sets.size());
        while (i >= 0 && onlyReferences(*sets[size_t(i)]))
            i = nextIfAny() ? currentBelow(sets.size()) : -1;
        if (i < 0)
            emit noMoreSets();
        else
            emit selectedFileInfoList(sets[size_t(i)]->files());
        return;
    }
    const int i = currentBelow(size_t(subDirNames.size()));
    if (i < 0) {
        emit noMoreSets();
        return;
    }
    // Qt takes '/' as the separator on every platform.
    const QString path = SelDir->SelectedDir->text() + QLatin1Char('/') + subDirNames[i];
    emit selected(path, Pattern->text().split(QRegularExpression(QStringLiteral("\\s+"))));
}

bool SelectDataDir::nextIfAny()
{
    const int i = SubDirs->currentIndex();
    if (i + 1 >= SubDirs->count())
        return false;
    SubDirs->setCurrentIndex(i + 1);
    return true;
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
    if (isKSTStandard()) {
        const int i = currentBelow(sets.size());
        if (i < 0)
            return QString();
        // Several samples at one energy would share a tag: then the sample goes with it.
        const CtFileSet &set = *sets[size_t(i)];
        const bool oneSample = std::all_of(sets.begin(), sets.end(), [&set](const auto &other) { return other->sample() == set.sample(); });
        return oneSample ? set.energyText() : set.key();
    }
    const int i = currentBelow(size_t(subDirNames.size()));
    return i < 0 ? QString() : subDirNames[i];
}

double SelectDataDir::currentEnergy() const
{
    if (isKSTStandard()) {
        const int i = currentBelow(sets.size());
        return i < 0 ? 0.0 : sets[size_t(i)]->energyInEv();
    }
    const int i = currentBelow(size_t(subDirNames.size()));
    return i < 0 ? 0.0 : energyInEvOfFolder(subDirNames[i]);
}
