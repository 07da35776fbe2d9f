#include "CtProgress.h"

CtProgress::CtProgress(QObject *parent) : QObject(parent) {}

void CtProgress::startCalcAll() { emit calcAll(); }

void CtProgress::startCalcOneByOne() { emit calcOne(current); }

void CtProgress::calcNext()
{
    ++current;
    if (current >= total)
        emit finishedCalcOneByOne();
    else
        emit calcOne(current);
}
