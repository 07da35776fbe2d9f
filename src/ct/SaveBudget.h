#pragma once

#include <QSemaphore>
#include <QtGlobal>

// Bounds the bytes of result files waiting for the saver: a worker reserves a record's
// size before handing it over and waits while the saver is that far behind; the saver
// gives it back once the file is written. Counted in KiB, at least 1 per record, and a
// record larger than the whole budget takes the whole budget.
class SaveBudget
{
public:
    explicit SaveBudget(qint64 bytes = qint64(256) << 20) : capacity(unitsOf(bytes, 1 << 30)), free(capacity) {}

    // Blocks until the record fits. Any thread but the saver's.
    void reserve(qint64 bytes) { free.acquire(unitsOf(bytes, capacity)); }
    // The saver's thread, after writing the record.
    void giveBack(qint64 bytes) { free.release(unitsOf(bytes, capacity)); }
    qint64 available() const { return qint64(free.available()) << 10; }

private:
    static int unitsOf(qint64 bytes, int limit)
    {
        const qint64 units = (std::max<qint64>(bytes, 1) + 1023) >> 10;
        return int(std::min<qint64>(units, limit));
    }

    const int capacity;
    QSemaphore free;
};
