#include "FieldValue.h"

#include <cmath>

int intFieldValue(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

double realFieldValue(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString realFieldText(double value)
{
    return QString::number(value, 'g', 6);
}
