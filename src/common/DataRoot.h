#pragma once

#include <QString>

// The directory in which the file dialogs of the data-file and image-file
// selectors start. Process-wide; fixed once at start-up by main.
QString dataRoot();
void setDataRoot(const QString &dir);
// The built-in directory used until the configuration or the command line names one.
QString defaultDataRoot();
