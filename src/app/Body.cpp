#include "Body.h"

#include <QLabel>
#include <QVBoxLayout>

Body::Body(const QStringList &configLines, QWidget *parent)
    : QFrame(parent), configLines(configLines)
{
    setWindowTitle(tr("Zorvel"));
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(tr("Zorvel CT workbench"), this);
    title->setObjectName(QStringLiteral("Title"));
    layout->addWidget(title);
    resize(640, 400);
}
