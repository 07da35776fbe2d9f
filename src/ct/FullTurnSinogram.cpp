#include "FullTurnSinogram.h"

#include "ColorScale.h"
#include "HSgm.h"

#include <QDebug>
#include <QtGlobal>

#include <fftw3.h>

#include <climits>
#include <cmath>
#include <limits>

bool FullTurnSinogram::hasData(const HSgm &hSgm)
{
    return hSgm.sgm && hSgm.rawSgm && qint64(hSgm.w) * hSgm.h >= 1;
}

void FullTurnSinogram::rawRange(const HSgm &hSgm, double &min, double &max)
{
    min = std::numeric_limits<double>::max();
    max = -std::numeric_limits<double>::max();
    if (!hasData(hSgm))
        return;
    const double *end = hSgm.rawSgm + qint64(hSgm.w) * hSgm.h;
    for (const double *v = hSgm.rawSgm; v != end; ++v) {
        if (*v < min)
            min = *v;
        if (*v > max)
            max = *v;
    }
}

QImage FullTurnSinogram::rawImage(const HSgm &hSgm, const ColorScale &scale)
{
    if (!hasData(hSgm) || hSgm.h > INT_MAX / 2)
        return QImage();
    const int w = hSgm.w;
    const int h = hSgm.h;
    QImage image(w, 2 * h, QImage::Format_Grayscale8);
    if (image.isNull()) // too large to allocate
        return image;
    for (int y = 0; y < h; ++y) {
        const double *raw = hSgm.rawSgm + size_t(y) * size_t(w);
        uchar *measured = image.scanLine(y);
        uchar *mirrored = image.scanLine(y + h);
        for (int x = 0; x < w; ++x) {
            const uchar c = uchar(scale.colorIndex(raw[x]));
            measured[x] = c;
            mirrored[w - 1 - x] = c;
        }
    }
    return image;
}

std::vector<double> FullTurnSinogram::fourierMagnitude(const HSgm &hSgm)
{
    if (!hasData(hSgm) || hSgm.h > INT_MAX / 2)
        return {};
    const int w = hSgm.w;
    const int h = hSgm.h;
    const size_t count = size_t(2) * size_t(w) * size_t(h);
    fftw_complex *in = fftw_alloc_complex(count);
    fftw_complex *out = fftw_alloc_complex(count);
    std::vector<double> magnitude;
    if (!in || !out) {
        qDebug() << "No memory for the Fourier view of the sinogram :" << w << "x" << 2 * h;
    } else {
        // Full turn, scaled so that the zero-frequency term is the mean.
        const double scale = 1.0 / double(count);
        for (int j = 0; j < h; ++j) {
            const double *raw = hSgm.rawSgm + size_t(j) * size_t(w);
            fftw_complex *measured = in + size_t(j) * size_t(w);
            fftw_complex *mirrored = in + size_t(j + h) * size_t(w);
            for (int x = 0; x < w; ++x) {
                const double v = raw[x] * scale;
                measured[x][0] = v;
                measured[x][1] = 0.0;
                mirrored[w - 1 - x][0] = v;
                mirrored[w - 1 - x][1] = 0.0;
            }
        }
        fftw_plan plan = fftw_plan_dft_2d(2 * h, w, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
        fftw_execute(plan);
        fftw_destroy_plan(plan);
        magnitude.resize(count);
        for (size_t i = 0; i < count; ++i)
            magnitude[i] = std::sqrt(out[i][0] * out[i][0] + out[i][1] * out[i][1]);
    }
    fftw_free(in);
    fftw_free(out);
    return magnitude;
}
