#pragma once

#include <QString>

// Whether and where an engine saves one kind of result of each slice (image or data
// file): on or off, the folder, and the name and tag its file names are built from.
struct SaveSettings
{
    bool f = false;
    QString path;
    QString name;
    QString tag;
};
