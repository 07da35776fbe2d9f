// Fuzz target for what the summary step of a cluster night reads from its job folder and
// from the tasks: the list of sets, a run's record and an exit-status file. Arbitrary
// bytes go to each reader; the counts they give must be consistent.

#include "NightSummary.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    bool ok = false;
    const QVector<PlannedSet> sets = setsOfJson(bytes, ok);
    check(ok || sets.isEmpty());
    check(sets.size() <= bytes.count('{'));
    const SliceCounts slices = slicesOfRecord(bytes);
    check(slices.reconstructed >= 0 && slices.failed >= 0);
    check(slices.read || slices.reconstructed + slices.failed == 0);
    check(slices.reconstructed + slices.failed <= bytes.count('{') + bytes.count(',') + 1);
    check(exitStatusOf(bytes) >= -1);
    return 0;
}
