#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// I0 against X-ray energy from an XAFS scan file (the "9809" text format): a header
// whose "Mode" line codes the I0 column with 1 and whose "Offset" line is the last,
// then one data line per point: angle, divisor (counting time), ..., I0 count.
// Energies are Bragg energies in eV of the monochromator angles for the crystal
// spacing d; I0 is the count divided by the divisor.
class XafsI0
{
public:
    // Si(111), the usual crystal of XAFS monochromators, until a file states its own.
    static constexpr double defaultD = 3.13551;
    // Larger files are refused: scans hold thousands of points, a few hundred kB.
    static constexpr qint64 maxFileBytes = 32 * 1024 * 1024;

    // Reads the file into the table. Unopenable or too large: one debug line, table
    // unchanged. No usable table (no Mode line, no I0 column beyond column 2, fewer
    // than two data lines): one debug line, empty table, not loaded. A header line
    // "Mono : ... D= <spacing> A" sets d for this and later files.
    bool read(const QString &fileName);
    // The same on the bytes of a file already read; fileName only names it in messages.
    bool parse(const QByteArray &bytes, const QString &fileName);

    // I0 at energy (eV), linear through the two table points around it; beyond the
    // table the first or last two points are extended. 0 on an empty table.
    double i0At(double energy) const;

    double d() const { return spacing; }
    void setD(double d) { spacing = d; }
    bool isLoaded() const { return loaded; }
    const QVector<double> &energies() const { return energyList; }
    const QVector<double> &i0s() const { return i0List; }

private:
    double spacing = defaultD;
    bool loaded = false;
    QVector<double> energyList;
    QVector<double> i0List;
};
