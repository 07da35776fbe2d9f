#pragma once

#include "CalcRegion.h"
#include "ColorScale.h"
#include "ProjectionSeries.h"
#include "ReconFilter.h"
#include "SaveSettings.h"
#include "SequenceStack.h"

#include <QImage>
#include <QMetaType>
#include <QString>

#include <memory>
#include <vector>

// Everything a reconstruction run reads, taken when it starts: the series with its I0
// and BG, the geometry, the filter, the regions, the colour scale and where results go.
// Shared read-only by every slice of the run, so the window may load another series,
// move a region or change the scale meanwhile without touching the run.
struct RunSnapshot
{
    std::shared_ptr<const ProjectionSeries> series;
    bool rotAxIsV = true;
    double cor = 0.0;
    ReconFilter filter;
    // Calculation region; while the user never set one, the whole slice.
    CalcRegion region;
    bool regionSet = false;
    // The part of the slice the views show: the rectangle a saved picture holds; while
    // none was set, the whole slice.
    CalcRegion view;
    bool viewSet = false;
    // The colour scale of each worker's view; "Fix" unchecked renders each slice over
    // its own min..max. A worker without an entry renders over the slice's range.
    struct Scale
    {
        ColorScale scale;
        bool fixed = false;
    };
    std::vector<Scale> scales;
    bool display = true;     // render each slice for its panel
    SaveSettings image;
    SaveSettings data;
    SaveSettings tiff;
    // Slices whose values come back as 32-bit floats over the saved region (the values a
    // float TIFF slice holds), for the spectral stack of a sequence; none while to < from.
    int spectralFrom = 0;
    int spectralTo = -1;
};

// One slice of a run, addressed to one worker.
struct SliceRequest
{
    std::shared_ptr<const RunSnapshot> run;
    quint64 runId = 0;
    int worker = 0; // index in the pool
    int slice = 0;
};

// A worker's answer to a SliceRequest.
struct SliceResult
{
    quint64 runId = 0;
    int worker = 0;
    int slice = 0;
    bool reconstructed = false;
    // The slice's values (n x n, row-major) and its 8-bit picture when the run displays.
    std::shared_ptr<const std::vector<double>> values;
    int n = 0;
    QImage image;
    bool autoRanged = false; // min..max are the slice's own range
    double min = 0.0;
    double max = 0.0;
    bool show = false;
    // Result files handed to the saver, and those that could not even be made.
    int filesQueued = 0;
    QStringList filesFailed;
    // The slice's region as floats when the run asked for it (RunSnapshot::spectralFrom..To).
    SequenceStack::Plane plane;
};

// Requests and results cross threads by pointer: the sender makes the whole value,
// publishes it (ThreadHandoff) and never changes it again; the receiver takes it before
// reading. A request belongs to the run controller until its answer is in; a result
// belongs to whoever receives calcFinished.
Q_DECLARE_METATYPE(const SliceRequest *)
Q_DECLARE_METATYPE(SliceResult *)
