#include "JobRecord.h"

#include "ResultFiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject regionObject(const CalcRegion &r, bool set)
{
    if (!set)
        return QJsonObject{{"whole", true}};
    return QJsonObject{{"x0", r.x0}, {"z0", r.z0}, {"x1", r.x1}, {"z1", r.z1}};
}

QJsonObject saveObject(const SaveSettings &save)
{
    return QJsonObject{{"on", save.f}, {"folder", save.path}, {"name", save.name}, {"tag", save.tag}};
}

QJsonObject inputsOf(const JobRecord &record)
{
    QJsonObject inputs{{"count", record.projectionCount},
                       {"i0", record.i0},
                       {"i0_energy_ev", record.i0Energy},
                       {"bg", record.bg}};
    if (!record.firstProjection.isEmpty()) {
        inputs["folder"] = QFileInfo(record.firstProjection).absolutePath();
        inputs["first"] = QFileInfo(record.firstProjection).fileName();
        inputs["last"] = QFileInfo(record.lastProjection).fileName();
    }
    if (!record.dataSet.isEmpty()) {
        inputs["data_set"] = record.dataSet;
        inputs["data_set_energy_ev"] = record.dataSetEnergy;
    }
    return inputs;
}

} // namespace

QByteArray JobRecord::toJson() const
{
    QJsonObject root{{"program", program}, {"date", started.toString(Qt::ISODateWithMs)}, {"inputs", inputsOf(*this)}};
    if (run) {
        root["geometry"] = QJsonObject{{"axis", run->rotAxIsV ? "vertical" : "horizontal"},
                                       {"centre", run->cor},
                                       {"slices", QJsonObject{{"from", sliceFrom}, {"to", sliceTo}, {"step", sliceStep}}},
                                       {"calculation_region", regionObject(run->region, run->regionSet)},
                                       {"display_region", regionObject(run->view, run->viewSet)}};
        root["mode"] = QJsonObject{{"quantitative", run->filter.quantitative},
                                   {"filter", run->filter.quantitative ? ReconFilter::windowName(run->filter.window) : QStringLiteral("ramp")}};
        root["saving"] = QJsonObject{{"images", saveObject(run->image)}, {"data", saveObject(run->data)},
                                     {"tiff", saveObject(run->tiff)}};
    }
    QJsonArray outcomes;
    for (const auto &[slice, done] : slices)
        outcomes.append(QJsonObject{{"slice", slice}, {"outcome", done ? "reconstructed" : "failed"}});
    root["slices"] = outcomes;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString JobRecord::fileName(const QString &name, const QString &tag)
{
    QString base = tag.isEmpty() ? name : ResultFiles::tagStep(name, tag);
    return ResultFiles::suffixStep(ResultFiles::tagStep(base, QStringLiteral("record")), QStringLiteral("json"));
}
