#include "CtFileSet.h"


CtFileSet::CtFileSet(QObject *parent)
    : QObject(parent)
{
}

void CtFileSet::setFirst(const QFileInfo &fileInfo)
{
    fileInfos.clear();
    fileInfos.append(fileInfo);
    firstName = fileInfo.fileName();
    parts = DataSetName::of(firstName);
}

void CtFileSet::append(const QFileInfo &fileInfo)
{
    fileInfos.append(fileInfo);
}

std::vector<std::unique_ptr<CtFileSet>> groupIntoFileSets(const QFileInfoList &files)
{
    std::vector<std::unique_ptr<CtFileSet>> sets;
    for (const QFileInfo &file : files) {
        if (sets.empty() || isSeriesFileName(file.fileName()) || isSeriesFileName(sets.back()->name())
            || keyOfName(file.fileName()) != sets.back()->key()) {
            sets.push_back(std::make_unique<CtFileSet>());
            sets.back()->setFirst(file);
        } else {
            sets.back()->append(file);
        }
    }
    return sets;
}
