#include "ColorBar.h"

#include "FieldValue.h"
#include "FieldWidth.h"
#include "ui_CBarUI.h"

#include <QApplication>
#include <QPainter>

#include <cmath>

namespace {
// Label boxes: 95 pixels along the bar, the bar's width across it.
constexpr double kLabelLength = 95;
constexpr double kLabelMaxPointSize = 10;
constexpr int kLabelInset = 50;

} // namespace

ColorBar::ColorBar(QWidget *parent)
    : DispA(parent), panelFrame(new QFrame), ui(new Ui::CBarUI)
{
    ui->setupUi(panelFrame.get());
    // Cyan labels vanish on the light end of the ramp; a dark rim keeps them legible there.
    textDrawer.outline = Qt::black;
    connect(this, &DispA::drawImage1, this, &ColorBar::draw1);
    connect(this, &DispA::mouseMoved0, this, &ColorBar::onMouseMoved);
    connect(this, &DispA::mousePressed0, this, &ColorBar::onMousePressed);
    connect(this, &DispA::mouseReleased0, this, &ColorBar::onMouseReleased);
    connect(ui->CMinLE, &QLineEdit::editingFinished, this, &ColorBar::minVEdited);
    connect(ui->CMaxLE, &QLineEdit::editingFinished, this, &ColorBar::maxVEdited);
    // Only the user's click: setFixColorScale (scripts) stays silent.
    connect(ui->CFix, &QCheckBox::clicked, this, &ColorBar::fixClicked);
    update();
}

ColorBar::~ColorBar() = default;

QFrame *ColorBar::panelBase() const { return ui->CBarUIBase; }
QCheckBox *ColorBar::fixBox() const { return ui->CFix; }
QLineEdit *ColorBar::minEdit() const { return ui->CMinLE; }
QLineEdit *ColorBar::maxEdit() const { return ui->CMaxLE; }

bool ColorBar::isFixed() const { return ui->CFix->isChecked(); }

void ColorBar::setRange(double minValue, double maxValue)
{
    scale.minV = minValue;
    scale.maxV = maxValue;
    ui->CMinLE->setText(realFieldText(minValue));
    ui->CMaxLE->setText(realFieldText(maxValue));
    ui->CMinLE->setTypicalTexts({ui->CMinLE->text()});
    ui->CMaxLE->setTypicalTexts({ui->CMaxLE->text()});
    update();
}

void ColorBar::autoRange(double dataMin, double dataMax)
{
    if (!isFixed())
        setRange(dataMin, dataMax);
}

void ColorBar::setHandles(double low, double high)
{
    scale.lowR = low;
    scale.highR = high;
    update();
}

void ColorBar::setFixColorScale(bool f) { ui->CFix->setChecked(f); }

double ColorBar::barPosition(int y) const
{
    const double h = height();
    return (h - y) / h;
}

void ColorBar::draw1(QPainter *p)
{
    drawRamp(p);
    drawHandles(p);
    drawLabels(p);
}

void ColorBar::drawRamp(QPainter *p) const
{
    const int w = width();
    const int h = height();
    // Row i counted from the bottom shows normalised value i/H.
    for (int i = 0; i < h; ++i) {
        const int g = scale.windowLevel(double(i) / h);
        p->setPen(QColor(g, g, g));
        p->drawLine(0, h - 1 - i, w, h - 1 - i);
    }
}

void ColorBar::drawHandles(QPainter *p) const
{
    const int w = width();
    const int h = height();
    p->setPen(QColor(0, 192, 255));
    const int highY = int((1 - scale.highR) * h);
    const int lowY = int((1 - scale.lowR) * h);
    p->drawLine(0, highY, w, highY);
    p->drawLine(0, lowY, w, lowY);
}

void ColorBar::drawLabels(QPainter *p) const
{
    const int w = width();
    const int h = height();
    const QFont font = QApplication::font();
    p->setPen(QColor(0, 255, 192));
    const auto label = [&](double value, int cy, int alignment) {
        textDrawer.drawRotatedText(p, 90, w / 2, cy, kLabelLength, w, font,
                                   alignment | Qt::AlignVCenter, 1, realFieldText(value),
                                   kLabelMaxPointSize);
    };
    label(scale.maxV, kLabelInset, Qt::AlignLeft);
    label(scale.minV, h - kLabelInset, Qt::AlignRight);
    if (grabbed)
        label(scale.valueAt(*grabbedR), h / 2, Qt::AlignRight);
}

void ColorBar::onMousePressed()
{
    const double r = barPosition(mouse.pos.y());
    if (scale.lowR == scale.highR) {
        // Coinciding handles would tie on every press and stay a threshold for good:
        // above them the upper one is taken, on or below them the lower one.
        grabHandle(r > scale.highR ? &scale.highR : &scale.lowR);
        return;
    }
    const double dLow = std::abs(scale.lowR - r);
    const double dHigh = std::abs(scale.highR - r);
    // A press exactly between two distinct handles picks neither.
    if (dLow > dHigh)
        grabHandle(&scale.highR);
    else if (dHigh > dLow)
        grabHandle(&scale.lowR);
}

void ColorBar::grabHandle(double *handle)
{
    grabbedR = handle;
    grabbed = true;
}

void ColorBar::onMouseMoved()
{
    if (!mouse.pressed)
        return;
    if (grabbed)
        *grabbedR = barPosition(mouse.pos.y());
    update();
    emit newBar();
}

void ColorBar::onMouseReleased()
{
    grabbed = false;
    update();  // the grabbed handle's value label goes
}

void ColorBar::minVEdited()
{
    fixWhenTyped(ui->CMinLE);
    scale.minV = realFieldValue(ui->CMinLE->text());
    update();
    emit newBar();
}

void ColorBar::maxVEdited()
{
    fixWhenTyped(ui->CMaxLE);
    scale.maxV = realFieldValue(ui->CMaxLE->text());
    update();
    emit newBar();
}

void ColorBar::fixWhenTyped(QLineEdit *field)
{
    // A typed end would be replaced by the data's own at the next rebuild unless the
    // scale is fixed; the user who typed it wants it kept. Texts written by the
    // auto range (setText) leave the field unmodified.
    if (!field->isModified())
        return;
    field->setModified(false);
    ui->CFix->setChecked(true);
}

void ColorBar::fixClicked(bool fixed)
{
    // Unfixed, the owner's rebuild applies the automatic range straight away.
    if (!fixed)
        emit newBar();
}
