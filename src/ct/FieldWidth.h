#pragma once

#include <QFontMetrics>
#include <QLineEdit>

#include <algorithm>

// The widest text a real-valued field shows ('g' format, 6 significant digits).
inline const QString widestRealText = QStringLiteral("-1.23457e-05");

// Widens a line edit so that `sample` fits in its own font; never narrows it.
inline void fitFieldWidth(QLineEdit *field, const QString &sample = widestRealText)
{
    const QFontMetrics metrics(field->font());
    // What the edit adds around its text (frame, margins), as its size hint counts it:
    // the hint is the width of 17 'x' plus that.
    const int chrome = field->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
    const int width = std::max(field->minimumWidth(), metrics.horizontalAdvance(sample) + chrome);
    field->setMinimumWidth(width);
    field->setMaximumWidth(std::max(field->maximumWidth(), width));
}
