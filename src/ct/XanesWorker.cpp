#include "XanesWorker.h"

#include <QDebug>

void XanesWorker::registerTypes()
{
    qRegisterMetaType<XanesRequest>();
    qRegisterMetaType<XanesOutcome>();
    qRegisterMetaType<std::shared_ptr<const XanesSlice>>();
}

void XanesWorker::run(XanesRequest request)
{
    const XanesOutcome outcome = XanesJob::run(request);
    qDebug().noquote() << outcome.summary();
    emit finished(outcome);
}

void XanesWorker::compute(XanesRequest request, int slice)
{
    std::vector<XanesReference> references;
    auto result = std::make_shared<XanesSlice>();
    QStringList skipped;
    QString why;
    const bool ok = request.settings.check().isEmpty()
                        ? XanesJob::readReferences(request, &references, &why)
                              && XanesJob::computeSlice(request, references, slice, result.get(), &skipped, &why)
                        : (why = request.settings.check(), false);
    for (const QString &line : skipped)
        qDebug().noquote() << line;
    if (!ok)
        qDebug().noquote() << why;
    emit computed(ok ? std::shared_ptr<const XanesSlice>(std::move(result)) : nullptr, why);
}
