#include "DataSetName.h"

#include <QRegularExpression>

namespace {

const QRegularExpression &decimalDigit()
{
    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    return digit;
}

QString beforeLastHyphen(const QString &text)
{
    const qsizetype hyphen = text.lastIndexOf(QLatin1Char('-'));
    return hyphen < 0 ? text : text.left(hyphen);
}

QString afterLastHyphen(const QString &text)
{
    const qsizetype hyphen = text.lastIndexOf(QLatin1Char('-'));
    return hyphen < 0 ? text : text.mid(hyphen + 1);
}

QString unitOf(const QString &energyText)
{
    const qsizetype lastDigit = energyText.lastIndexOf(decimalDigit());
    return lastDigit < 0 ? energyText : energyText.mid(lastDigit + 1);
}

double scaleOf(const QString &unit)
{
    return unit.toUpper() == QLatin1String("KEV") ? 1000.0 : 1.0;
}

} // namespace

double energyOfName(const QString &text)
{
    const qsizetype lastDigit = text.lastIndexOf(decimalDigit());
    QString number = text.left(lastDigit + 1);
    number.replace(QLatin1Char('_'), QLatin1Char('.'));
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

bool isSeriesFileName(const QString &fileName)
{
    static const QRegularExpression suffix(QStringLiteral("\\.(h5|hdf5|hdf|nxs)$"), QRegularExpression::CaseInsensitiveOption);
    return suffix.match(fileName).hasMatch();
}

QString keyOfName(const QString &fileName)
{
    if (isSeriesFileName(fileName))
        return fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
    return beforeLastHyphen(fileName);
}

DataSetName DataSetName::of(const QString &fileName)
{
    DataSetName name;
    name.key = keyOfName(fileName);
    name.sample = beforeLastHyphen(name.key);
    name.energyText = afterLastHyphen(name.key);
    name.unit = unitOf(name.energyText);
    name.unitScale = scaleOf(name.unit);
    name.energy = energyOfName(name.energyText);
    return name;
}

double energyInEvOfName(const QString &fileName)
{
    return DataSetName::of(fileName).energyInEv();
}

double energyInEvOfFolder(const QString &folderName)
{
    return energyInEvOfText(afterLastHyphen(folderName));
}

double energyInEvOfText(const QString &energyText)
{
    return energyOfName(energyText) * scaleOf(unitOf(energyText));
}
