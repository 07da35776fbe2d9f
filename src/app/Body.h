#pragma once

#include <QFrame>
#include <QStringList>

// The main window. It owns every panel and engine of the workbench; at the end of
// its construction it takes the configuration lines, which are executed as batch
// commands once the command set is wired in.
class Body : public QFrame
{
    Q_OBJECT
public:
    explicit Body(const QStringList &configLines, QWidget *parent = nullptr);

    const QStringList &configurationLines() const { return configLines; }

signals:
    void finishing();

private:
    QStringList configLines;
};
