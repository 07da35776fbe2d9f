#pragma once

#include <QColor>
#include <QObject>

class QFont;
class QPainter;
class QRectF;
class QString;

// Draws text rotated about the painter's origin inside a box, optionally shrinking or
// growing the font so that the text fits the box.
class DrawText : public QObject
{
    Q_OBJECT
public:
    explicit DrawText(QObject *parent = nullptr);

    // The box is given by its centre (cx, cy) in unrotated painter coordinates and its
    // size (w, h) along the rotated axes. fitMode 1 fits the text to the box, capped at
    // maxPointSize when that is positive; any other mode draws with the font as given.
    void drawRotatedText(QPainter *p, double angle, double cx, double cy, double w, double h,
                         const QFont &font, int flags, int fitMode, const QString &text,
                         double maxPointSize = 0, bool fillBackground = false,
                         const QColor &background = Qt::white) const;

    // When valid, every text gets a one-pixel rim of this colour, so that it stays legible
    // whether the picture under it is dark or light.
    QColor outline;

    // Point size that fits text (measured with flags) into a w x h box; 10 points when
    // the text measures zero in both directions.
    static double fittedPointSize(const QFont &font, int flags, const QString &text,
                                  double w, double h, double maxPointSize);

private:
    void drawOutline(QPainter *p, const QRectF &box, int flags, const QString &text) const;
};
