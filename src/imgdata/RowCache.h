#pragma once

#include <QMutex>
#include <QtGlobal>

#include <functional>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// The bytes one series may take in memory: as set (the memory_budget command or
// configuration line), by default half the machine's memory. A series above it is
// streamed: its readers keep the file geometry only. Any thread.
qint64 memoryBudget();
// 0 restores the default.
void setMemoryBudget(qint64 bytes);

// Blocks of consecutive rows (as doubles) of the streamed readers of one series, bounded
// in bytes: when a new block would exceed the bound, the least recently used ones go.
// Any number of threads may ask at once: the mutex guards the table only; a missing block
// is read outside it, once, and threads asking for the same block meanwhile wait for it.
class RowCache
{
public:
    using Rows = std::shared_ptr<const std::vector<double>>;
    using Reader = std::function<std::vector<double>()>;

    explicit RowCache(qint64 boundBytes);
    RowCache(const RowCache &) = delete;
    RowCache &operator=(const RowCache &) = delete;

    // Rows per block for `count` images `width` pixels wide: a block of every image twice
    // over fits the bound, because the workers of a range run may be reading rows of two
    // neighbouring blocks at a time. At least 1, at most maxRowsPerBlock.
    int rowsPerBlock(qint64 count, int width) const;
    static constexpr int maxRowsPerBlock = 1 << 12;

    // Block `block` of image `image` (a number from newImage()); `read` reads it on a miss.
    // An exception of `read` reaches this caller and those waiting for the same block.
    Rows rows(quint64 image, int block, const Reader &read);

    // A number for one image, never handed out twice in a process.
    static quint64 newImage();

    qint64 bound() const { return boundBytes; }
    qint64 heldBytes() const;

private:
    using Key = std::pair<quint64, int>;
    struct Entry
    {
        std::shared_future<Rows> rows;
        bool ready = false;
        qint64 bytes = 0;
        std::list<Key>::iterator age;
    };
    // Enters a block just read as the most recent one and drops the oldest beyond the bound.
    void store(const Key &key, const Rows &rows);

    const qint64 boundBytes;
    mutable QMutex mutex;
    std::map<Key, Entry> entries;
    std::list<Key> ages; // ready blocks, most recently used first
    qint64 held = 0;
};
