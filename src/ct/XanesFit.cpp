#include "XanesFit.h"

#include "XanesLinear.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kFeasibleSlack = -1e-12;

QString number(double v)
{
    return QString::number(v, 'g', 8);
}

} // namespace

bool XanesReference::parse(const QByteArray &text, const QString &name, XanesReference *out, QString *why)
{
    XanesReference ref;
    ref.name = name;
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &line : lines) {
        const QString trimmed = QString::fromLatin1(line).trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = trimmed.split(separators, Qt::SkipEmptyParts);
        bool energyOk = false, valueOk = false;
        const double energy = fields.value(0).toDouble(&energyOk);
        const double value = fields.value(1).toDouble(&valueOk);
        if (!energyOk || !valueOk || !std::isfinite(energy) || !std::isfinite(value))
            continue;
        if (!ref.energies.empty() && !(energy > ref.energies.back())) {
            *why = QStringLiteral("Reference %1: energies not increasing (%2 eV after %3 eV)")
                       .arg(name, number(energy), number(ref.energies.back()));
            return false;
        }
        if (ref.energies.size() >= size_t(maxPoints)) {
            *why = QStringLiteral("Reference %1: more than %2 points").arg(name).arg(maxPoints);
            return false;
        }
        ref.energies.push_back(energy);
        ref.values.push_back(value);
    }
    if (ref.energies.size() < 2) {
        *why = QStringLiteral("Reference %1: fewer than two points of energy and normalised mu").arg(name);
        return false;
    }
    *out = std::move(ref);
    return true;
}

bool XanesReference::read(const QString &fileName, XanesReference *out, QString *why)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("Reference %1 cannot be read").arg(fileName);
        return false;
    }
    if (file.size() > maxFileBytes) {
        *why = QStringLiteral("Reference %1 is larger than %2 MB").arg(fileName).arg(maxFileBytes >> 20);
        return false;
    }
    return parse(file.readAll(), fileName, out, why);
}

double XanesReference::at(double energy) const
{
    const auto above = std::upper_bound(energies.begin(), energies.end(), energy);
    if (above == energies.begin())
        return values.front();
    if (above == energies.end())
        return values.back();
    const size_t i = size_t(above - energies.begin());
    const double t = (energy - energies[i - 1]) / (energies[i] - energies[i - 1]);
    return values[i - 1] + t * (values[i] - values[i - 1]);
}

bool XanesFit::setup(const std::vector<double> &stackEnergies, const std::vector<XanesReference> &references,
                     const XanesFitSettings &settings, QString *why)
{
    refs = int(references.size());
    sumToOne = settings.sumToOne;
    if (refs < 2 || refs > maxReferences) {
        *why = QStringLiteral("Linear-combination fit: %1 references given, 2 to %2 are fitted").arg(refs).arg(maxReferences);
        return false;
    }
    const double lo = settings.emin > 0.0 ? settings.emin : stackEnergies.front();
    const double hi = settings.emax > 0.0 ? settings.emax : stackEnergies.back();
    begin = int(std::lower_bound(stackEnergies.begin(), stackEnergies.end(), lo) - stackEnergies.begin());
    end = int(std::upper_bound(stackEnergies.begin(), stackEnergies.end(), hi) - stackEnergies.begin());
    const int points = end - begin;
    if (points < refs + 1) {
        *why = QStringLiteral("Linear-combination fit: the window %1 to %2 eV holds %3 energies, fewer than the %4 needed")
                   .arg(number(lo), number(hi)).arg(std::max(points, 0)).arg(refs + 1);
        return false;
    }
    const double first = stackEnergies[size_t(begin)], last = stackEnergies[size_t(end - 1)];
    basis.assign(size_t(refs * points), 0.0);
    for (int r = 0; r < refs; ++r) {
        const XanesReference &ref = references[size_t(r)];
        if (ref.energies.empty() || ref.energies.front() > first || ref.energies.back() < last) {
            *why = QStringLiteral("Reference %1 covers %2 to %3 eV, not the fit window %4 to %5 eV")
                       .arg(ref.name, number(ref.energies.empty() ? 0.0 : ref.energies.front()),
                            number(ref.energies.empty() ? 0.0 : ref.energies.back()), number(first), number(last));
            return false;
        }
        for (int i = 0; i < points; ++i)
            basis[size_t(r * points + i)] = ref.at(stackEnergies[size_t(begin + i)]);
    }
    normal.assign(size_t(refs * refs), 0.0);
    for (int r = 0; r < refs; ++r)
        for (int s = 0; s < refs; ++s)
            for (int i = 0; i < points; ++i)
                normal[size_t(r * refs + s)] += basis[size_t(r * points + i)] * basis[size_t(s * points + i)];
    subsets.clear();
    for (int mask = 1; mask < (1 << refs); ++mask) {
        Subset subset;
        for (int r = 0; r < refs; ++r)
            if (mask & (1 << r))
                subset.members.push_back(r);
        const int m = int(subset.members.size());
        const int side = sumToOne ? m + 1 : m;
        subset.inverse.assign(size_t(side * side), 0.0);
        for (int a = 0; a < m; ++a) {
            for (int b = 0; b < m; ++b)
                subset.inverse[size_t(a * side + b)] = normal[size_t(subset.members[size_t(a)] * refs + subset.members[size_t(b)])];
            if (sumToOne)
                subset.inverse[size_t(a * side + m)] = subset.inverse[size_t(m * side + a)] = 1.0;
        }
        if (XanesLinear::invert(subset.inverse, side))
            subsets.push_back(std::move(subset));
        else if (m == refs && !sumToOne) {
            *why = QStringLiteral("Linear-combination fit: the references are not independent over the window");
            return false;
        }
    }
    return true;
}

XanesPixelFit XanesFit::fit(const double *y) const
{
    const int points = end - begin;
    double projections[maxReferences] = {};
    double yy = 0.0;
    for (int i = 0; i < points; ++i)
        yy += y[i] * y[i];
    for (int r = 0; r < refs; ++r)
        for (int i = 0; i < points; ++i)
            projections[r] += basis[size_t(r * points + i)] * y[i];

    XanesPixelFit best;
    double bestResidual = std::numeric_limits<double>::infinity();
    for (const Subset &subset : subsets) {
        const int m = int(subset.members.size());
        const int side = sumToOne ? m + 1 : m;
        double x[maxReferences] = {};
        bool feasible = true;
        for (int a = 0; a < m && feasible; ++a) {
            double sum = sumToOne ? subset.inverse[size_t(a * side + m)] : 0.0;
            for (int b = 0; b < m; ++b)
                sum += subset.inverse[size_t(a * side + b)] * projections[subset.members[size_t(b)]];
            x[subset.members[size_t(a)]] = sum;
            feasible = sum >= kFeasibleSlack;
        }
        if (!feasible)
            continue;
        // |y - B x|^2 = y.y - 2 x.(B^T y) + x^T (B^T B) x
        double residual = yy;
        for (int r = 0; r < refs; ++r) {
            residual -= 2.0 * x[r] * projections[r];
            for (int s = 0; s < refs; ++s)
                residual += x[r] * normal[size_t(r * refs + s)] * x[s];
        }
        if (residual < bestResidual) {
            bestResidual = residual;
            for (int r = 0; r < refs; ++r)
                best.fractions[r] = std::max(0.0, x[r]);
        }
    }
    bestResidual = std::max(0.0, bestResidual);
    best.rFactor = yy > 0.0 ? bestResidual / yy : kNaN;
    best.residual = std::sqrt(bestResidual / points);
    return best;
}

std::vector<double> XanesFit::curve(const XanesPixelFit &f) const
{
    const int points = end - begin;
    std::vector<double> out(size_t(points), 0.0);
    for (int r = 0; r < refs; ++r)
        for (int i = 0; i < points; ++i)
            out[size_t(i)] += f.fractions[r] * basis[size_t(r * points + i)];
    return out;
}

XanesFitMaps XanesFit::maps(const SpectralStack &stack, const XanesNormalize &normalize, const XanesMaps &m) const
{
    XanesFitMaps out;
    const size_t pixels = size_t(stack.pixels());
    out.fractions.assign(size_t(refs), std::vector<float>(pixels, float(kNaN)));
    out.rFactor.assign(pixels, float(kNaN));
    out.residual = out.rFactor;
    const std::vector<double> &energies = stack.energies();
    XanesLinear::overRows(stack.height(), normalize.settings().threads, [&](int rowBegin, int rowEnd) {
        std::vector<double> y(size_t(end - begin));
        for (size_t p = size_t(rowBegin) * size_t(stack.width()); p < size_t(rowEnd) * size_t(stack.width()); ++p) {
            if (!m.valid[p])
                continue;
            const float *mu = stack.spectrum(std::int64_t(p));
            const XanesPixel &pixel = m.pixels[p];
            for (int k = begin; k < end; ++k)
                y[size_t(k - begin)] = (double(mu[k]) - pixel.pre(energies[size_t(k)])) / pixel.edgeStep;
            const XanesPixelFit f = fit(y.data());
            for (int r = 0; r < refs; ++r)
                out.fractions[size_t(r)][p] = float(f.fractions[r]);
            out.rFactor[p] = float(f.rFactor);
            out.residual[p] = float(f.residual);
        }
    });
    return out;
}
