#pragma once

#include "SpectralStack.h"

#include <QString>

#include <map>
#include <memory>
#include <utility>
#include <vector>

// The planes of watched slices gathered while a CT-XAFS sequence runs, one per data set
// and energy, as the runs hand them back (the same 32-bit values a float TIFF slice holds).
// A stack of a slice can be made from it at any time, so the maps follow the sequence
// without reading anything back. Copies share the planes; a copy handed to a worker is
// not changed by what the window adds later.
class SequenceStack
{
public:
    struct Plane
    {
        std::shared_ptr<const std::vector<float>> values; // row-major width x height
        int width = 0;
        int height = 0;
    };

    // Watches slices from..to (inclusive; to < from: none) and forgets every plane held.
    void watch(int from, int to);
    bool watches(int slice) const { return slice >= first && slice <= last; }
    std::pair<int, int> watched() const { return {first, last}; }
    void clear();
    void setBudget(std::int64_t bytes) { budgetBytes = bytes; }

    // Adds the plane of a slice of data set `set` at `energy` eV. The same set again replaces
    // its plane (a set run twice). False with a one-line reason: the slice not watched, no
    // energy known, another set at the same energy, a size other than that of the slice's
    // other planes, or more memory than the budget.
    bool add(const QString &set, double energy, int slice, const Plane &plane, QString *why);
    // Energies held for a slice, in increasing order.
    std::vector<double> energies(int slice) const;
    std::int64_t bytes() const { return heldBytes; }
    // The stack of a slice (false with the reason SpectralStack gives, e.g. too few energies).
    bool stackOf(int slice, SpectralStack *stack, QString *why) const;

private:
    struct Entry
    {
        QString set;
        Plane plane;
    };
    using Planes = std::map<double, Entry>; // by energy

    int first = 0;
    int last = -1;
    std::int64_t budgetBytes = SpectralStack::defaultBudgetBytes;
    std::int64_t heldBytes = 0;
    std::map<int, Planes> slices;
};
