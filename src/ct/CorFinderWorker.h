#pragma once

#include "CorFinder.h"

#include <QObject>

// Runs CorFinder::find on the thread it has been moved to. It receives its own copy of the
// sinogram with the queued request and answers with a queued finished().
class CorFinderWorker : public QObject
{
    Q_OBJECT
public slots:
    void find(const CorFinder::Sinogram &sinogram);

signals:
    // found is false when no centre could be estimated; cor is then 0.
    void finished(bool found, double cor);
};
