#pragma once

#include <QImage>
#include <QString>

// An image to be saved by DataSaver in the format of the file name's suffix. Created
// by the sender, owned by the receiver of the signal that carries it.
struct SavingImg
{
    QString fileName;
    QImage image;
};
