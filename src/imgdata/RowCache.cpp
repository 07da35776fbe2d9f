#include "RowCache.h"

#include <algorithm>
#include <atomic>

#include <unistd.h>

namespace {
std::atomic<qint64> budgetSet{0};
std::atomic<quint64> imagesNumbered{0};
}

qint64 memoryBudget()
{
    if (const qint64 set = budgetSet.load())
        return set;
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / 2 : qint64(1) << 30;
}

void setMemoryBudget(qint64 bytes)
{
    budgetSet = std::max<qint64>(bytes, 0);
}

RowCache::RowCache(qint64 boundBytes) : boundBytes(boundBytes) {}

int RowCache::rowsPerBlock(qint64 count, int width) const
{
    const qint64 group = 2 * std::max<qint64>(count, 1) * std::max(width, 1) * qint64(sizeof(double));
    return int(std::clamp<qint64>(boundBytes / group, 1, maxRowsPerBlock));
}

quint64 RowCache::newImage()
{
    return ++imagesNumbered;
}

qint64 RowCache::heldBytes() const
{
    const QMutexLocker lock(&mutex);
    return held;
}

RowCache::Rows RowCache::rows(quint64 image, int block, const Reader &read)
{
    const Key key{image, block};
    std::promise<Rows> promise;
    std::shared_future<Rows> pending;
    {
        const QMutexLocker lock(&mutex);
        const auto found = entries.find(key);
        if (found == entries.end()) {
            Entry entry;
            entry.rows = promise.get_future().share();
            entries.emplace(key, std::move(entry));
        } else {
            if (found->second.ready)
                ages.splice(ages.begin(), ages, found->second.age);
            pending = found->second.rows;
        }
    }
    if (pending.valid())
        return pending.get();
    Rows rows;
    try {
        rows = std::make_shared<const std::vector<double>>(read());
    } catch (...) {
        {
            const QMutexLocker lock(&mutex);
            entries.erase(key);
        }
        promise.set_exception(std::current_exception());
        throw;
    }
    promise.set_value(rows);
    store(key, rows);
    return rows;
}

void RowCache::store(const Key &key, const Rows &rows)
{
    const QMutexLocker lock(&mutex);
    Entry &entry = entries.at(key);
    entry.ready = true;
    entry.bytes = qint64(rows->size() * sizeof(double));
    ages.push_front(key);
    entry.age = ages.begin();
    held += entry.bytes;
    // The block just stored stays even when it alone exceeds the bound: its reader needs it.
    while (held > boundBytes && ages.size() > 1) {
        const auto oldest = entries.find(ages.back());
        held -= oldest->second.bytes;
        entries.erase(oldest);
        ages.pop_back();
    }
}
