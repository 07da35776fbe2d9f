#include "XanesResults.h"

#include "ImgData.h"
#include "ResultFiles.h"
#include "SaveSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 8);
}

bool readBounded(const QString &fileName, qint64 limit, QByteArray *bytes, QString *why)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("Cannot read %1").arg(fileName);
        return false;
    }
    if (file.size() > limit) {
        *why = QStringLiteral("%1 is larger than %2 MB").arg(fileName).arg(limit >> 20);
        return false;
    }
    *bytes = file.readAll();
    return true;
}

// One "x<TAB>z<TAB>value" line from p (p moves past it); false when it is not one.
bool parsePixelLine(const char *&p, const char *end, long &x, long &z, float &value)
{
    const auto skipBlanks = [&] {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r'))
            ++p;
    };
    skipBlanks();
    auto r = std::from_chars(p, end, x);
    if (r.ec != std::errc())
        return false;
    p = r.ptr;
    skipBlanks();
    r = std::from_chars(p, end, z);
    if (r.ec != std::errc())
        return false;
    p = r.ptr;
    skipBlanks();
    // from_chars of floats is not in GCC 12's library for every type: strtod on a bounded copy.
    char buffer[64] = {};
    const char *stop = std::find_if(p, end, [](char c) { return c == '\n' || c == '\t' || c == ' ' || c == '\r'; });
    if (stop == p || stop - p >= 63)
        return false;
    std::copy(p, stop, buffer);
    char *parsed = nullptr;
    value = std::strtof(buffer, &parsed);
    if (parsed != buffer + (stop - p))
        return false;
    p = std::find(stop, end, '\n');
    return true;
}

} // namespace

// The float TIFF file of the slice when the run saved one and it is there, else its data file.
QString XanesResults::sliceFile(const Record &record, const QString &folder, int slice)
{
    const auto file = [&folder, slice](SaveSettings save, const char *suffix) {
        if (save.path.isEmpty())
            save.path = folder;
        return ResultFiles::sliceFile(save, slice, QLatin1String(suffix));
    };
    if (record.floatTiff) {
        const QString tiff = file(record.slices, "tif");
        if (!record.data.f || QFile::exists(tiff))
            return tiff;
    }
    return file(record.data, "dat");
}

bool XanesResults::parseRecord(const QByteArray &json, const QString &file, Record *out, QString *why)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    const QJsonObject saving = root.value("saving").toObject();
    const auto settings = [&saving](const char *kind) {
        const QJsonObject o = saving.value(QLatin1String(kind)).toObject();
        return SaveSettings{o.value("on").toBool(), o.value("folder").toString(), o.value("name").toString(), o.value("tag").toString()};
    };
    Record r;
    r.data = settings("data");
    const SaveSettings tiff = settings("tiff");
    r.floatTiff = tiff.f;
    r.slices = tiff.f ? tiff : r.data;
    if (error.error != QJsonParseError::NoError || !r.slices.f) {
        *why = QStringLiteral("%1 is no record of saved slices").arg(file);
        return false;
    }
    r.file = file;
    const QJsonObject inputs = root.value("inputs").toObject();
    r.energy = inputs.contains("data_set_energy_ev") ? inputs.value("data_set_energy_ev").toDouble()
                                                      : inputs.value("i0_energy_ev").toDouble();
    for (const QJsonValue &slice : root.value("slices").toArray()) {
        const QJsonObject s = slice.toObject();
        if (s.value("outcome").toString() == QLatin1String("reconstructed"))
            r.reconstructed.push_back(s.value("slice").toInt(-1));
    }
    if (!std::isfinite(r.energy) || r.energy <= 0.0) {
        *why = QStringLiteral("%1 names no energy").arg(file);
        return false;
    }
    *out = std::move(r);
    return true;
}

bool XanesResults::collect(const QString &folder, const QString &name, int slice, std::vector<EnergySet> *sets,
                           QStringList *skipped, QString *why)
{
    sets->clear();
    const QDir dir(folder);
    for (const QString &entry : dir.entryList({QStringLiteral("*-record.json")}, QDir::Files, QDir::Name)) {
        QByteArray bytes;
        Record record;
        QString problem;
        if (!readBounded(dir.filePath(entry), maxRecordBytes, &bytes, &problem)
            || !parseRecord(bytes, dir.filePath(entry), &record, &problem)) {
            skipped->append(problem);
            continue;
        }
        if (!name.isEmpty() && record.slices.name != name)
            continue;
        if (std::find(record.reconstructed.begin(), record.reconstructed.end(), slice) == record.reconstructed.end()) {
            skipped->append(QStringLiteral("Slice %1 of %2 eV was not reconstructed (%3)").arg(slice).arg(number(record.energy), entry));
            continue;
        }
        sets->push_back({record.energy, dir.filePath(entry), sliceFile(record, folder, slice)});
    }
    std::sort(sets->begin(), sets->end(), [](const EnergySet &a, const EnergySet &b) { return a.energy < b.energy; });
    for (size_t k = 1; k < sets->size(); ++k)
        if (!((*sets)[k].energy > (*sets)[k - 1].energy)) {
            *why = QStringLiteral("Energies not increasing: %1 and %2 both hold %3 eV")
                       .arg(QFileInfo((*sets)[k - 1].record).fileName(), QFileInfo((*sets)[k].record).fileName(),
                            number((*sets)[k].energy));
            return false;
        }
    if (sets->empty())
        *why = QStringLiteral("No record of saved data files with slice %1 in %2").arg(slice).arg(folder);
    return !sets->empty();
}

bool XanesResults::parseDataFile(const QByteArray &text, std::vector<float> *plane, int *width, int *height, QString *why)
{
    if (!text.startsWith("#ZRVL-CTImg")) {
        *why = QStringLiteral("no #ZRVL-CTImg data file");
        return false;
    }
    struct Pixel
    {
        long x, z;
        float value;
    };
    std::vector<Pixel> pixels;
    long xMin = std::numeric_limits<long>::max(), zMin = xMin, xMax = -1, zMax = -1;
    const char *p = text.constData(), *end = p + text.size();
    for (; p < end; p = p < end ? p + 1 : p) {
        if (*p == '#') {
            p = std::find(p, end, '\n');
            continue;
        }
        if (*p == '\n' || *p == '\r')
            continue;
        Pixel px{};
        if (!parsePixelLine(p, end, px.x, px.z, px.value)) {
            *why = QStringLiteral("a line that is not x, z and a value");
            return false;
        }
        if (px.x < 0 || px.z < 0 || px.x >= SpectralStack::maxSide || px.z >= SpectralStack::maxSide) {
            *why = QStringLiteral("pixel %1, %2 outside 0 .. %3").arg(px.x).arg(px.z).arg(SpectralStack::maxSide - 1);
            return false;
        }
        xMin = std::min(xMin, px.x), xMax = std::max(xMax, px.x);
        zMin = std::min(zMin, px.z), zMax = std::max(zMax, px.z);
        pixels.push_back(px);
    }
    if (pixels.empty()) {
        *why = QStringLiteral("no pixels");
        return false;
    }
    *width = int(xMax - xMin + 1);
    *height = int(zMax - zMin + 1);
    if (std::int64_t(*width) * *height > std::int64_t(pixels.size())) {
        *why = QStringLiteral("pixels missing in its %1 x %2 region").arg(*width).arg(*height);
        return false;
    }
    plane->assign(size_t(*width) * size_t(*height), std::numeric_limits<float>::quiet_NaN());
    for (const Pixel &px : pixels)
        (*plane)[size_t((px.z - zMin) * *width + (px.x - xMin))] = px.value;
    return true;
}

bool XanesResults::readSlice(const QString &fileName, std::vector<float> *plane, int *width, int *height, QString *why)
{
    if (fileName.endsWith(QLatin1String(".dat"))) {
        QByteArray bytes;
        if (!readBounded(fileName, maxDataFileBytes, &bytes, why))
            return false;
        if (parseDataFile(bytes, plane, width, height, why))
            return true;
        *why = QStringLiteral("%1: %2").arg(fileName, *why);
        return false;
    }
    const std::unique_ptr<ImgData> image = openImgData(fileName);
    if (!image) {
        *why = QStringLiteral("Cannot read %1").arg(fileName);
        return false;
    }
    *width = image->imageWidth();
    *height = image->imageHeight();
    plane->resize(size_t(*width) * size_t(*height));
    std::vector<double> row(static_cast<size_t>(*width));
    for (int z = 0; z < *height; ++z) {
        const double *values = image->line(z, row.data());
        std::copy(values, values + *width, plane->begin() + std::ptrdiff_t(z) * *width);
    }
    return true;
}

bool XanesResults::buildStack(const std::vector<EnergySet> &sets, SpectralStack *stack, QString *why, std::int64_t budgetBytes)
{
    std::vector<float> plane;
    int width = 0, height = 0;
    std::vector<double> energies;
    for (const EnergySet &set : sets)
        energies.push_back(set.energy);
    for (size_t k = 0; k < sets.size(); ++k) {
        if (!readSlice(sets[k].sliceFile, &plane, &width, &height, why))
            return false;
        if (k == 0 && !stack->create(energies, width, height, why, budgetBytes))
            return false;
        if (!stack->setPlane(int(k), plane.data(), width, height, why))
            return false;
    }
    return !sets.empty() || (*why = QStringLiteral("No energies to stack"), false);
}
