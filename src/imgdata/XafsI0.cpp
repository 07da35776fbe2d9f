#include "XafsI0.h"

#include "Lerp.h"

#include <QDebug>
#include <QFile>
#include <QList>

#include <cmath>

namespace {

// Planck's constant times the speed of light, eV * angstrom.
constexpr double hc = 12398.424360387684;
constexpr double pi = 3.1415926535;
// DOS end-of-file mark: whatever follows it is not part of the text.
constexpr char ctrlZ = '\x1a';

double numberOrZero(const QByteArray &item)
{
    bool ok = false;
    const double value = item.toDouble(&ok);
    return ok ? value : 0.0;
}

bool isCodeOne(const QByteArray &item)
{
    bool ok = false;
    return item.toInt(&ok, 10) == 1 && ok;
}

// The spacing stated by a "Mono : Si(111) D= 3.13551 A ..." header line; 0 when the
// line states none that is usable.
double statedSpacing(const QList<QByteArray> &items)
{
    if (items.first() != "Mono")
        return 0.0;
    for (qsizetype k = 1; k < items.size(); ++k) {
        if (!items[k].startsWith("D="))
            continue;
        const QByteArray value = items[k].size() > 2 ? items[k].mid(2) : items.value(k + 1);
        const double d = numberOrZero(value);
        return std::isfinite(d) && d > 0.0 ? d : 0.0;
    }
    return 0.0;
}

} // namespace

bool XafsI0::read(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "Can't open : " << fileName;
        return false;
    }
    const QByteArray bytes = file.read(maxFileBytes + 1);
    if (bytes.size() > maxFileBytes) {
        qDebug() << "XAFS file too large : " << fileName;
        return false;
    }
    return parse(bytes, fileName);
}

bool XafsI0::parse(const QByteArray &bytes, const QString &fileName)
{
    energyList.clear();
    i0List.clear();
    const qsizetype eof = bytes.indexOf(ctrlZ);
    const QByteArray text = eof < 0 ? bytes : bytes.left(eof);
    double fileSpacing = spacing;
    qsizetype modeCol = -1;
    bool inData = false;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> items = line.simplified().split(' ');
        if (inData) {
            if (2 < modeCol && modeCol < items.size()) {
                const double theta = numberOrZero(items[1]);
                const double divisor = numberOrZero(items[2]);
                energyList.append(hc / (2.0 * std::sin(theta / 180.0 * pi) * fileSpacing));
                i0List.append(numberOrZero(items[modeCol]) / divisor);
            }
            continue;
        }
        if (items.first().isEmpty())
            continue;
        if (items.first() == "Mode" && items.size() >= 2) {
            for (qsizetype k = 1; k < items.size(); ++k) {
                if (isCodeOne(items[k]))
                    modeCol = k;
            }
        }
        if (const double d = statedSpacing(items); d > 0.0)
            fileSpacing = d;
        inData = items.first() == "Offset";
    }
    loaded = energyList.size() >= 2;
    if (!loaded) {
        energyList.clear();
        i0List.clear();
        qDebug() << "No I0 table (Mode line with an I0 column, Offset line and two data lines) in : "
                 << fileName;
        return false;
    }
    spacing = fileSpacing;
    return true;
}

double XafsI0::i0At(double energy) const
{
    const qsizetype n = energyList.size();
    if (n < 1)
        return 0.0;
    if (n == 1)
        return i0List[0];
    qsizetype k = 0;
    while (k < n - 2 && !(energyList[k + 1] > energy))
        ++k;
    return lerp(energy, energyList[k], i0List[k], energyList[k + 1], i0List[k + 1]);
}
