#include "ChCoord.h"

ChCoord::ChCoord(QObject *parent) : QObject(parent) {}

void ChCoord::setScreen(double x0, double y0, double x1, double y1)
{
    sx0 = x0;
    sy0 = y0;
    sx1 = x1;
    sy1 = y1;
}

void ChCoord::setRealCoord(double x0, double y0, double x1, double y1)
{
    rx0 = x0;
    ry0 = y0;
    rx1 = x1;
    ry1 = y1;
}

double ChCoord::toRealX(double s) const { return (rx1 - rx0) / (sx1 - sx0) * (s - sx0) + rx0; }
double ChCoord::toRealY(double s) const { return (ry1 - ry0) / (sy1 - sy0) * (s - sy0) + ry0; }
double ChCoord::toScreenX(double r) const { return (sx1 - sx0) / (rx1 - rx0) * (r - rx0) + sx0; }
double ChCoord::toScreenY(double r) const { return (sy1 - sy0) / (ry1 - ry0) * (r - ry0) + sy0; }
double ChCoord::toScreenLenX(double d) const { return (sx1 - sx0) / (rx1 - rx0) * d; }
double ChCoord::toScreenLenY(double d) const { return (sy1 - sy0) / (ry1 - ry0) * d; }
