#include "FieldWidth.h"

#include "FieldValue.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>

namespace {
// Blank pixels a line edit keeps left and right of its text, and its cursor's width.
constexpr int kTextSideMargin = 2;
constexpr int kCursorWidth = 1;

// The texts with every digit replaced by the font's widest one, so that a font
// without equal-width digits is measured at its worst. (Common interface fonts have
// equal-width digits, where this changes nothing.)
QString withWidestDigits(const QFontMetrics &metrics, QString text)
{
    QChar widest('0');
    for (char d = '1'; d <= '9'; ++d)
        if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widest))
            widest = QChar(d);
    for (QChar &c : text)
        if (c.isDigit())
            c = widest;
    return text;
}
} // namespace

QStringList FieldWidth::longestReal()
{
    // 'g' turns to the exponent form below 1e-4, so "0.000" and six digits is the
    // longest plain form; a double's exponent has at most three digits.
    return {"-0.00000e+000", "-0.000000000"};
}

QStringList FieldWidth::longestInteger(qint64 largest)
{
    return {"-" + QString(QString::number(largest).size(), '0')};
}

QStringList FieldWidth::valueTexts(double lowest, double highest)
{
    QStringList texts{realFieldText(lowest), realFieldText(highest)};
    const double magnitude = std::max(std::abs(lowest), std::abs(highest));
    const QString form = realFieldText(magnitude);
    // Six significant digits: as many decimals as the integer part leaves.
    if (std::isfinite(magnitude) && !form.contains(u'e')) {
        const int integerDigits = std::max(1, int(QString::number(std::floor(magnitude), 'f', 0).size()));
        QString fixed(integerDigits, u'0');
        if (integerDigits < 6)
            fixed += u'.' + QString(6 - integerDigits, u'0');
        texts << (lowest < 0 ? u'-' + fixed : fixed);
    }
    return texts;
}

int FieldWidth::widthFor(const QLineEdit *field, const QStringList &texts)
{
    const QFontMetrics metrics(field->font());
    int textWidth = 0;
    for (const QString &text : texts)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(withWidestDigits(metrics, text)));
    const QMargins text = field->textMargins();
    const QMargins contents = field->contentsMargins();
    const int inner = textWidth + 2 * kTextSideMargin + kCursorWidth + text.left() + text.right()
                      + contents.left() + contents.right();
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth = field->hasFrame()
                           ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field)
                           : 0;
    // The style adds the frame around the text area.
    return field->style()
        ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, metrics.height()), field)
        .width();
}

void FieldWidth::fitText(QLineEdit *field, const QStringList &texts)
{
    const int width = widthFor(field, texts);
    field->setMaximumWidth(std::max(field->maximumWidth(), width));
    field->setMinimumWidth(width);
}
