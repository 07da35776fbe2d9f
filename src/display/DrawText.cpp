#include "DrawText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// The angle conversion uses this value of pi so that label placement does not depend
// on the platform's constant.
constexpr double kPi = 3.141592653;

double fitRatio(double boxLength, double textLength)
{
    return textLength == 0 ? 1.0 : boxLength / textLength;
}
} // namespace

DrawText::DrawText(QObject *parent) : QObject(parent) {}

void DrawText::drawOutline(QPainter *p, const QRectF &box, int flags, const QString &text) const
{
    const QPen textPen = p->pen();
    p->setPen(outline);
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (dx != 0 || dy != 0)
                p->drawText(box.translated(dx, dy), flags, text);
    p->setPen(textPen);
}

double DrawText::fittedPointSize(const QFont &font, int flags, const QString &text,
                                 double w, double h, double maxPointSize)
{
    QFont measureFont(font);
    measureFont.setPointSizeF(10);
    const QRectF bound = QFontMetricsF(measureFont).boundingRect(QRectF(0, 0, 5000, 5000), flags, text);
    const double scale = std::min(fitRatio(w, bound.width()), fitRatio(h, bound.height()));
    double size = 10 * scale;
    if (maxPointSize > 0)
        size = std::min(size, maxPointSize);
    return size;
}

void DrawText::drawRotatedText(QPainter *p, double angle, double cx, double cy, double w, double h,
                               const QFont &font, int flags, int fitMode, const QString &text,
                               double maxPointSize, bool fillBackground, const QColor &background) const
{
    w = std::abs(w);
    h = std::abs(h);
    const double theta = angle / 180 * kPi;
    // The box origin in the rotated frame.
    const double x = std::cos(theta) * cx + std::sin(theta) * cy - w / 2;
    const double y = -std::sin(theta) * cx + std::cos(theta) * cy - h / 2;
    const QRectF box(x, y, w, h);

    p->rotate(angle);
    if (fitMode == 1) {
        QFont fitted(font);
        const double size = fittedPointSize(font, flags, text, w, h, maxPointSize);
        if (size > 0)
            fitted.setPointSizeF(size);
        p->setFont(fitted);
    } else {
        p->setFont(font);
    }
    if (fillBackground)
        p->fillRect(box, background);
    if (outline.isValid())
        drawOutline(p, box, flags, text);
    p->drawText(box, flags, text);
    p->setFont(font);
    p->rotate(-angle);
}
