#pragma once

#include <QString>

// The parts of a data-set file name sample-energy-number.extension, split at the
// last two hyphens ("KST Std." naming), or of a whole series in one file,
// sample-energy.h5. An underscore stands for the decimal point
// in the energy, and a unit ending in keV (any case) scales it to eV.
struct DataSetName
{
    QString key;        // the name up to its last hyphen; the whole name without one
    QString sample;     // key up to its last hyphen; key itself without one
    QString energyText; // key after its last hyphen; key itself without one
    QString unit;       // energyText after its last decimal digit; all of it without a digit
    double unitScale = 1.0;
    double energy = 0.0; // energyOfName(energyText), in units of `unit`

    static DataSetName of(const QString &fileName);
    double energyInEv() const { return energy * unitScale; }
};

// The number written in a name part: the text up to its last decimal digit, with
// every underscore read as a decimal point; 0.0 when that is not a number.
double energyOfName(const QString &text);
// The energy in eV of an energy text such as 7112_5eV or 7_1125keV.
double energyInEvOfText(const QString &energyText);
// The energy in eV of a file name by the naming rule (keV scaled by 1000).
double energyInEvOfName(const QString &fileName);
// The energy in eV of a data set's folder name: its part after the last hyphen, as in
// the data-set names (Fe-7300eV, run2-7300eV and 7_3keV all give their energy).
double energyInEvOfFolder(const QString &folderName);
// Whether the name is that of a whole series in one file (HDF5: .h5, .hdf5, .hdf, .nxs),
// named sample-energy.h5.
bool isSeriesFileName(const QString &fileName);
// The part of a file name that all files of one data set share; for a whole series in
// one file, its name without the suffix.
QString keyOfName(const QString &fileName);
