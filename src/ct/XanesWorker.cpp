#include "XanesWorker.h"

#include <QDebug>

void XanesWorker::registerTypes()
{
    qRegisterMetaType<Handed<XanesRequest>>();
    qRegisterMetaType<Handed<XanesOutcome>>();
    qRegisterMetaType<Handed<XanesAnswer>>();
}

void XanesWorker::run(Handed<XanesRequest> handed)
{
    const XanesOutcome outcome = XanesJob::run(handed.get());
    qDebug().noquote() << outcome.summary();
    emit finished(outcome);
}

void XanesWorker::compute(Handed<XanesRequest> handed, int slice)
{
    const XanesRequest &request = handed.get();
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
    emit computed(XanesAnswer{ok ? std::shared_ptr<const XanesSlice>(std::move(result)) : nullptr, why});
}
