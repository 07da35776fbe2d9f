#include "XanesCommands.h"

#include <algorithm>

namespace {

int intArg(const BatchCmd &cmd, qsizetype i)
{
    return int(std::clamp(cmd.realArg(i), -2147483648.0, 2147483647.0));
}

// X Z (one pixel) or X0 Z0 X1 Z1 (a rectangle, X1 and Z1 past its last pixel).
XanesRegion regionArgs(const BatchCmd &cmd)
{
    const int x0 = intArg(cmd, 0), z0 = intArg(cmd, 1);
    const bool rectangle = cmd.args.size() >= 4;
    return {x0, z0, rectangle ? intArg(cmd, 2) : x0 + 1, rectangle ? intArg(cmd, 3) : z0 + 1};
}

} // namespace

XanesCommands::XanesCommands(QObject *parent) : QObject(parent)
{
    XanesWorker::registerTypes();
    worker = new XanesWorker;
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(this, &XanesCommands::runRequested, worker, &XanesWorker::run, Qt::QueuedConnection);
    connect(worker, &XanesWorker::finished, this, [this](const Handed<XanesOutcome> &outcome) { emit finished(outcome.get()); },
            Qt::QueuedConnection);
    thread.setObjectName(QStringLiteral("xanes"));
    thread.start();
}

XanesCommands::~XanesCommands()
{
    shutdown();
}

void XanesCommands::shutdown()
{
    thread.quit();
    thread.wait();
}

void XanesCommands::start(std::shared_ptr<const SequenceStack> sequence)
{
    XanesRequest request = pending;
    if (request.fromSequence)
        request.sequence = std::move(sequence);
    emit runRequested(request);
}

bool XanesCommands::handle(const BatchCmd &cmd, bool *execRequested)
{
    *execRequested = cmd.isCmd(QStringLiteral("xanes_exec"));
    if (*execRequested)
        return true;
    bool known = false;
    for (const Command &command : commandTable())
        if (cmd.isCmd(QLatin1String(command.keyword))) {
            command.action(pending, cmd);
            known = true;
        }
    return known;
}

const std::vector<XanesCommands::Command> &XanesCommands::commandTable()
{
    static const std::vector<Command> table{
        {"xanes_results",
         [](XanesRequest &r, const BatchCmd &c) {
             r.resultsFolder = c.args.value(0);
             r.name = c.args.value(1);
         }},
        {"xanes_slices",
         [](XanesRequest &r, const BatchCmd &c) {
             r.sliceFrom = intArg(c, 0);
             r.sliceTo = c.args.size() > 1 ? intArg(c, 1) : r.sliceFrom;
         }},
        {"xanes_out", [](XanesRequest &r, const BatchCmd &c) { r.outFolder = c.args.value(0); }},
        {"xanes_e0", [](XanesRequest &r, const BatchCmd &c) { r.settings.e0 = c.realArg(0); }},
        {"xanes_pre_edge",
         [](XanesRequest &r, const BatchCmd &c) {
             r.settings.pre1 = c.realArg(0);
             r.settings.pre2 = c.realArg(1);
         }},
        {"xanes_post_edge",
         [](XanesRequest &r, const BatchCmd &c) {
             r.settings.norm1 = c.realArg(0);
             r.settings.norm2 = c.realArg(1);
         }},
        {"xanes_degree", [](XanesRequest &r, const BatchCmd &c) { r.settings.postDegree = intArg(c, 0); }},
        {"xanes_threshold",
         [](XanesRequest &r, const BatchCmd &c) { r.settings.stepThreshold = c.args.isEmpty() ? -1.0 : c.realArg(0); }},
        {"xanes_reference", [](XanesRequest &r, const BatchCmd &c) { r.referenceFiles.append(c.args.value(0)); }},
        {"xanes_reference_region", [](XanesRequest &r, const BatchCmd &c) { r.referenceRegions.push_back(regionArgs(c)); }},
        {"xanes_reference_clear",
         [](XanesRequest &r, const BatchCmd &) {
             r.referenceFiles.clear();
             r.referenceRegions.clear();
         }},
        {"xanes_from_sequence", [](XanesRequest &r, const BatchCmd &c) { r.fromSequence = c.firstFlag(); }},
        {"xanes_fit_window",
         [](XanesRequest &r, const BatchCmd &c) {
             r.fit.emin = c.realArg(0);
             r.fit.emax = c.realArg(1);
         }},
        {"xanes_sum_to_one", [](XanesRequest &r, const BatchCmd &c) { r.fit.sumToOne = c.firstFlag(); }},
        {"xanes_align",
         [](XanesRequest &r, const BatchCmd &c) {
             r.align = c.firstFlag();
             r.alignEnergy = c.realArg(1);
         }},
        {"xanes_spectrum", [](XanesRequest &r, const BatchCmd &c) { r.spectra.push_back(regionArgs(c)); }},
        {"xanes_spectrum_clear", [](XanesRequest &r, const BatchCmd &) { r.spectra.clear(); }},
        {"xanes_threads", [](XanesRequest &r, const BatchCmd &c) { r.settings.threads = std::clamp(intArg(c, 0), 0, 256); }},
    };
    return table;
}
