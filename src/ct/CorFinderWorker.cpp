#include "CorFinderWorker.h"

void CorFinderWorker::find(const CorFinder::Sinogram &sinogram)
{
    double cor = 0.0;
    const bool found = CorFinder::find(sinogram, cor);
    emit finished(found, found ? cor : 0.0);
}
