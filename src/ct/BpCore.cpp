#include "BpCore.h"

#include "BackProjection.h"
#include "QuantFilter.h"

#include <QDebug>
#include <QtGlobal>

#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr double pi = 3.141592653589793;
constexpr std::align_val_t filteredAlignment{64};
// Most values (spectra or filtered samples) one core may hold: 2^36 complex values are
// 1 TiB, beyond any machine it runs on, and every byte count below it fits 64 bits.
constexpr quint64 maxCoreValues = quint64(1) << 36;

fftw_complex *allocComplex(size_t count)
{
    return static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * count));
}

} // namespace

BpCore::~BpCore()
{
    releaseCore();
}

bool BpCore::setupCore(int n, int m)
{
    return setupCore(n, m, ReconFilter{});
}

bool BpCore::setupCore(int n, int m, const ReconFilter &filter)
{
    n = n > 0 ? (n / 2) * 2 : 0;
    m = m > 0 ? m : 0;
    M = m;
    if (n == N && m == storedM && filter == filterChoice)
        return N > 0;
    releaseCore(); // keeps M
    N = n;
    filterChoice = filter;
    if (N == 0)
        return false;
    padded = filter.quantitative ? QuantFilter::paddedLength(N) : 0;
    specLength = filter.quantitative ? padded / 2 + 1 : N;
    if (!allocate()) {
        qDebug() << qUtf8Printable(QString("Not enough memory for a reconstruction core of %1 x %2").arg(N).arg(M));
        releaseCore();
        return false;
    }
    return true;
}

bool BpCore::allocate()
{
    const int rowStride = backProjectionStride(N);
    if (quint64(M) * quint64(rowStride) > maxCoreValues || quint64(M) * quint64(specLength) > maxCoreValues)
        return false;
    if (M > 0) {
        spectra = allocComplex(size_t(M) * size_t(specLength));
        const size_t bytes = sizeof(double) * size_t(M) * size_t(rowStride); // rowStride is a multiple of 8
        filteredRows = static_cast<double *>(::operator new[](bytes, filteredAlignment, std::nothrow));
        if (!spectra || !filteredRows)
            return false;
        // The padding after each row is read by the vector back-projection; it must
        // hold finite values, and the rows themselves are overwritten per slice.
        std::memset(filteredRows, 0, bytes);
        stride = rowStride;
        storedM = M;
    }
    return filterChoice.quantitative ? setupPaddedPlans() : setupPlans();
}

bool BpCore::setupPlans()
{
    fwdIn = allocComplex(size_t(N));
    fwdOut = allocComplex(size_t(N));
    bwdIn = allocComplex(size_t(N));
    bwdOut = allocComplex(size_t(N));
    if (!fwdIn || !fwdOut || !bwdIn || !bwdOut)
        return false;
    fwdPlan = fftw_plan_dft_1d(N, fwdIn, fwdOut, FFTW_FORWARD, FFTW_ESTIMATE);
    bwdPlan = fftw_plan_dft_1d(N, bwdIn, bwdOut, FFTW_BACKWARD, FFTW_ESTIMATE);
    return fwdPlan && bwdPlan;
}

// Real rows and real filtered rows: half spectra, and half the work of complex plans.
bool BpCore::setupPaddedPlans()
{
    padRow = static_cast<double *>(fftw_malloc(sizeof(double) * size_t(padded)));
    padSpectrum = allocComplex(size_t(specLength));
    padFiltered = static_cast<double *>(fftw_malloc(sizeof(double) * size_t(padded)));
    if (!padRow || !padSpectrum || !padFiltered)
        return false;
    std::memset(padRow, 0, sizeof(double) * size_t(padded)); // the zero padding stays
    fwdPlan = fftw_plan_dft_r2c_1d(padded, padRow, padSpectrum, FFTW_ESTIMATE);
    bwdPlan = fftw_plan_dft_c2r_1d(padded, padSpectrum, padFiltered, FFTW_ESTIMATE);
    response = QuantFilter::response(padded, filterChoice.window);
    return fwdPlan && bwdPlan;
}

void BpCore::releaseCore()
{
    if (fwdPlan)
        fftw_destroy_plan(fwdPlan);
    if (bwdPlan)
        fftw_destroy_plan(bwdPlan);
    fwdPlan = nullptr;
    bwdPlan = nullptr;
    fftw_free(fwdIn);
    fftw_free(fwdOut);
    fftw_free(bwdIn);
    fftw_free(bwdOut);
    fftw_free(spectra);
    fwdIn = fwdOut = bwdIn = bwdOut = spectra = nullptr;
    fftw_free(padRow);
    fftw_free(padSpectrum);
    fftw_free(padFiltered);
    padRow = padFiltered = nullptr;
    padSpectrum = nullptr;
    response.clear();
    padded = 0;
    specLength = 0;
    ::operator delete[](filteredRows, filteredAlignment);
    filteredRows = nullptr;
    stride = 0;
    storedM = 0;
    N = 0;
}

void BpCore::resizeImage(int n)
{
    imageN = n > 0 ? n : 0;
    img.assign(size_t(imageN) * imageN, 0.0);
    done = false;
}

void BpCore::transformRow(const double *row, int j)
{
    if (!ready(j))
        return;
    if (filterChoice.quantitative) {
        transformPadded(row, j);
        return;
    }
    for (int k = 0; k < N; ++k) {
        fwdIn[k][0] = row[k];
        fwdIn[k][1] = 0.0;
    }
    fftw_execute(fwdPlan);
    std::memcpy(spectra + size_t(j) * N, fwdOut, sizeof(fftw_complex) * size_t(N));
}

void BpCore::filterRow(int j, double divisor)
{
    if (!ready(j))
        return;
    if (filterChoice.quantitative) {
        filterPadded(j);
        return;
    }
    const fftw_complex *spec = spectra + size_t(j) * N;
    // Bin m carries 2*pi*m/N below N/2 and 2*pi*(N - m)/N from N/2 up: the mean is
    // removed and the Nyquist bin gets pi.
    for (int k = 0; k < N / 2; ++k) {
        const double low = k * twoPi / N;
        const double high = (k + 1) * twoPi / N;
        const int mirror = N - 1 - k;
        bwdIn[k][0] = spec[k][0] * low;
        bwdIn[k][1] = spec[k][1] * low;
        bwdIn[mirror][0] = spec[mirror][0] * high;
        bwdIn[mirror][1] = spec[mirror][1] * high;
    }
    fftw_execute(bwdPlan);
    double *out = filteredRows + size_t(j) * stride;
    for (int k = 0; k < N; ++k)
        out[k] = bwdOut[k][0] / divisor;
}

void BpCore::transformPadded(const double *row, int j)
{
    std::memcpy(padRow, row, sizeof(double) * size_t(N)); // samples N ... P-1 stay 0
    fftw_execute(fwdPlan);
    std::memcpy(spectra + size_t(j) * specLength, padSpectrum, sizeof(fftw_complex) * size_t(specLength));
}

void BpCore::filterPadded(int j)
{
    const fftw_complex *spec = spectra + size_t(j) * specLength;
    for (int k = 0; k < specLength; ++k) {
        padSpectrum[k][0] = spec[k][0] * response[size_t(k)];
        padSpectrum[k][1] = spec[k][1] * response[size_t(k)];
    }
    fftw_execute(bwdPlan);
    // 1/P undoes the unnormalised transform pair; pi/(2M) is the angle step of half a
    // turn with the factor 2 of the response taken out.
    const double scale = pi / (2.0 * M * padded);
    double *out = filteredRows + size_t(j) * stride;
    for (int k = 0; k < N; ++k)
        out[k] = padFiltered[k] * scale;
}

void BpCore::backProject(int j, double x0, double x1, double z0, double z1)
{
    if (ready(j) && imageN == N)
        backProjectReference(filteredRows, stride, N, storedM, j, j + 1, x0, x1, z0, z1, img.data());
    done = true;
}

void BpCore::backProjectAll(double x0, double x1, double z0, double z1)
{
    if (ready(0) && imageN == N)
        backProjectFast(filteredRows, stride, N, storedM, 0, storedM, x0, x1, z0, z1, img.data());
    done = true;
}

void BpCore::reconstructSlice(const double *rows, int rowStride, double divisor,
                              double x0, double x1, double z0, double z1)
{
    resizeImage(N);
    for (int j = 0; j < storedM; ++j)
        transformRow(rows + size_t(j) * size_t(rowStride), j);
    for (int j = 0; j < storedM; ++j)
        filterRow(j, divisor);
    backProjectAll(x0, x1, z0, z1);
}

void BpCore::imageMinMax()
{
    if (!done || N <= 0 || imageN != N)
        return;
    min = std::numeric_limits<double>::max();
    max = -std::numeric_limits<double>::max();
    for (double v : img) {
        if (v < min)
            min = v;
        if (v > max)
            max = v;
    }
}
