#include "SequenceStack.h"

#include <cmath>

namespace {

std::int64_t bytesOf(const SequenceStack::Plane &plane)
{
    return SpectralStack::bytesFor(1, plane.width, plane.height);
}

} // namespace

void SequenceStack::watch(int from, int to)
{
    first = from;
    last = to;
    clear();
}

void SequenceStack::clear()
{
    slices.clear();
    heldBytes = 0;
}

bool SequenceStack::add(const QString &set, double energy, int slice, const Plane &plane, QString *why)
{
    const QString energyText = QString::number(energy, 'g', 8);
    if (!watches(slice)) {
        *why = QStringLiteral("Spectral stack: slice %1 is not watched").arg(slice);
        return false;
    }
    if (!(std::isfinite(energy) && energy > 0.0)) {
        *why = QStringLiteral("Spectral stack: no energy known for data set %1").arg(set);
        return false;
    }
    if (!plane.values || plane.width < 1 || plane.height < 1
        || plane.values->size() != size_t(plane.width) * size_t(plane.height)) {
        *why = QStringLiteral("Spectral stack: data set %1 gave no values of slice %2").arg(set).arg(slice);
        return false;
    }
    Planes &planes = slices[slice];
    const auto same = planes.find(energy);
    if (same != planes.end() && same->second.set != set) {
        *why = QStringLiteral("Spectral stack: data sets %1 and %2 are both at %3 eV; %2 is left out")
                   .arg(same->second.set, set, energyText);
        return false;
    }
    for (const auto &[e, entry] : planes)
        if (e != energy && (entry.plane.width != plane.width || entry.plane.height != plane.height)) {
            *why = QStringLiteral("Spectral stack: slice %1 of data set %2 is %3 x %4, at %5 eV it is %6 x %7")
                       .arg(slice).arg(set).arg(plane.width).arg(plane.height)
                       .arg(QString::number(e, 'g', 8)).arg(entry.plane.width).arg(entry.plane.height);
            return false;
        }
    const std::int64_t replaced = same != planes.end() ? bytesOf(same->second.plane) : 0;
    if (heldBytes - replaced + bytesOf(plane) > budgetBytes) {
        *why = QStringLiteral("Spectral stack: slice %1 at %2 eV is past the %3 MB allowed")
                   .arg(slice).arg(energyText).arg(budgetBytes >> 20);
        return false;
    }
    heldBytes += bytesOf(plane) - replaced;
    planes[energy] = Entry{set, plane};
    return true;
}

std::vector<double> SequenceStack::energies(int slice) const
{
    std::vector<double> list;
    const auto found = slices.find(slice);
    if (found != slices.end())
        for (const auto &entry : found->second)
            list.push_back(entry.first);
    return list;
}

bool SequenceStack::stackOf(int slice, SpectralStack *stack, QString *why) const
{
    const auto found = slices.find(slice);
    if (found == slices.end() || found->second.empty()) {
        *why = QStringLiteral("Spectral stack: the sequence gave no values of slice %1").arg(slice);
        return false;
    }
    const Plane &any = found->second.begin()->second.plane;
    if (!stack->create(energies(slice), any.width, any.height, why, budgetBytes))
        return false;
    int k = 0;
    for (const auto &entry : found->second) {
        const Plane &plane = entry.second.plane;
        if (!stack->setPlane(k++, plane.values->data(), plane.width, plane.height, why))
            return false;
    }
    return true;
}
