#pragma once

#include "XafsBatch.h"

#include <QObject>
#include <QStringList>
#include <QThread>

#include <functional>

// Stand-in for the main window's side of a data-set sequence: it lives on the test's
// (GUI) thread, answers the controller's requests as the window does, and records the
// stages it is told of. The controller runs on a thread of its own, as in the program.
class SequenceWindow : public QObject
{
    Q_OBJECT
public:
    struct Stage
    {
        QString text;
        qint64 ms;
    };

    SequenceWindow()
    {
        batch.moveToThread(&thread);
        thread.start();
        connect(&batch, &XafsBatch::starting, this, [this]() { events << "starting"; });
        connect(&batch, &XafsBatch::finished, this, [this]() { events << "finished"; emit sequenceEnded(); });
        connect(&batch, &XafsBatch::stage, this, [this](const QString &text, qint64 ms) {
            stages.append({text, ms});
            events << text;
        });
        connect(this, &SequenceWindow::startSequence, &batch, &XafsBatch::start);
        connect(this, &SequenceWindow::finishedLoadingCTFiles, &batch, &XafsBatch::loadedDataSet);
        connect(this, &SequenceWindow::calcFinished, &batch, &XafsBatch::calcFinished);
        connect(&batch, &XafsBatch::execCalculation, this, [this]() {
            events << "calc";
            calculate();
            emit calcFinished();
        });
    }
    ~SequenceWindow() override
    {
        thread.quit();
        thread.wait();
    }

    XafsBatch batch;
    QThread thread;
    QStringList events;
    QList<Stage> stages;
    std::function<void()> calculate = []() {};

signals:
    void startSequence();
    void finishedLoadingCTFiles();
    void calcFinished();
    void sequenceEnded();
};
