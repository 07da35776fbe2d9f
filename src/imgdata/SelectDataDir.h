#pragma once

#include "ui_SelectDataDir.h"

#include "DataSetList.h"

#include <QFileInfo>
#include <QFrame>
#include <QStringList>

// The data sets of a measurement directory, one entry of `SubDirs` each, and the
// position in a sequence over them. Two ways to find the sets: one sub-directory per
// set, or ("KST Std.") runs of files named sample-energy-number in the directory
// itself. set() announces the current set; setFirstSet()/setNextSet() step through
// them for the sequence controller and report noMoreSets() at the end.
class SelectDataDir : public QFrame, public Ui::SelectDataDir
{
    Q_OBJECT
public:
    explicit SelectDataDir(QWidget *parent = nullptr);
    ~SelectDataDir() override;

    // Steps to the next entry; false when the current one is the last.
    bool nextIfAny();
    // Makes the first entry whose name (see currentSetName()) is `name` the current one;
    // false, and the current entry kept, when there is none.
    bool selectByName(const QString &name);
    // The name that tags the results of the current set: in "KST Std." mode its energy
    // text, or sample-energy when the folder holds more than one sample; the
    // sub-directory's name otherwise; empty without an entry.
    QString currentSetName() const;
    // Files that are not projections however they are named (the I0 and BG images in
    // use): left out of the sets a folder is scanned into, and a set made of them alone
    // (named after the scan) is passed over.
    void setReferenceFiles(const QStringList &absolutePaths) { references = absolutePaths; }
    // The energy of the current set in eV (of a sub-directory: its name's part after the
    // last hyphen, by the naming rule); 0 without an entry.
    double currentEnergy() const;

signals:
    void selected(QString dir, QStringList patterns);
    void selectedFileInfoList(QFileInfoList fileInofs);
    void noMoreSets();

public slots:
    void aDirSelected(QString dir);
    void changedKSTStd();
    void setSubDirs(QString dir);
    void setFileSets(QString dir);
    void setIsKSTStandard(bool b);
    void set();
    void next();
    void setFirstSet();
    void setNextSet();

private:
    bool isKSTStandard() const { return isKSTStd_->isChecked(); }
    // The current entry's index when it is below count, else -1.
    int currentBelow(int count) const;
    void showList(const DataSetList &list);
    // The list of the chosen mode.
    const DataSetList &listed() const { return isKSTStandard() ? fileRuns : subDirs; }

    DataSetList fileRuns; // of the last file-set scan that found files
    DataSetList subDirs;  // of the last sub-directory scan
    QStringList references;
};
