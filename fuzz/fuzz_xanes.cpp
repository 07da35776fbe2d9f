// Fuzz target for the readers of saved results a chemical-state map reads: data files,
// run records and reference spectra. The first byte chooses the reader.

#include "XanesFit.h"
#include "XanesResults.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &)
{
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void dataFile(const QByteArray &bytes)
{
    std::vector<float> plane;
    int width = 0, height = 0;
    QString why;
    if (!XanesResults::parseDataFile(bytes, &plane, &width, &height, &why))
        return check(!why.isEmpty());
    check(width >= 1 && height >= 1 && plane.size() == size_t(width) * size_t(height));
    // Every pixel comes from a line of its own.
    check(qsizetype(plane.size()) <= bytes.count('\n') + 1);
}

void record(const QByteArray &bytes)
{
    XanesResults::Record r;
    QString why;
    if (XanesResults::parseRecord(bytes, QStringLiteral("fuzz input"), &r, &why))
        check(std::isfinite(r.energy) && r.energy > 0.0);
}

void reference(const QByteArray &bytes)
{
    XanesReference ref;
    QString why;
    if (!XanesReference::parse(bytes, QStringLiteral("fuzz input"), &ref, &why))
        return check(!why.isEmpty());
    check(ref.energies.size() >= 2 && ref.energies.size() == ref.values.size());
    for (size_t i = 1; i < ref.energies.size(); ++i)
        check(ref.energies[i] > ref.energies[i - 1]);
    check(std::isfinite(ref.at(0.5 * (ref.energies.front() + ref.energies.back()))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const auto previousHandler = qInstallMessageHandler(quiet); // refusals are no findings
    Q_UNUSED(previousHandler);
    if (size < 1 || size > size_t(XanesResults::maxRecordBytes))
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0:
        dataFile(bytes);
        break;
    case 1:
        record(bytes);
        break;
    default:
        reference(bytes);
    }
    return 0;
}
