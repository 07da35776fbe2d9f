#pragma once

#include <QObject>

// Linear mapping between canvas pixels (screen) and the owner's real coordinates,
// each axis on its own. A zero-length range divides by zero in floating point.
class ChCoord : public QObject
{
    Q_OBJECT
public:
    explicit ChCoord(QObject *parent = nullptr);

    void setScreen(double x0, double y0, double x1, double y1);
    void setRealCoord(double x0, double y0, double x1, double y1);

    double toRealX(double s) const;
    double toRealY(double s) const;
    double toScreenX(double r) const;
    double toScreenY(double r) const;
    // Screen length of a real length; negative when the axis is inverted.
    double toScreenLenX(double d) const;
    double toScreenLenY(double d) const;

    double sx0 = 0, sx1 = 1, sy0 = 0, sy1 = 1;
    double rx0 = 0, rx1 = 1, ry0 = 0, ry1 = 1;
};
