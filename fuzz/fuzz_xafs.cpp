// Fuzz target for the XAFS scan reader: arbitrary bytes read as a scan file, then the
// table's invariants checked.

#include "XafsI0.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const auto previousHandler = qInstallMessageHandler(quiet); // refusals are no findings
    Q_UNUSED(previousHandler);
    if (size > size_t(XafsI0::maxFileBytes)) // read() refuses these before parsing
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    XafsI0 table;
    const bool loaded = table.parse(bytes, QStringLiteral("fuzz input"));
    check(loaded == table.isLoaded());
    check(table.energies().size() == table.i0s().size());
    check(loaded ? table.energies().size() >= 2 : table.energies().isEmpty());
    check(std::isfinite(table.d()) && table.d() > 0.0);
    // Every line yields at most one point.
    check(table.energies().size() <= bytes.count('\n') + 1);
    for (double energy : {0.0, 7112.0, -1.0, 1e300})
        (void)table.i0At(energy);
    if (!loaded)
        check(table.i0At(7112.0) == 0.0);
    return 0;
}
