#pragma once

#include "ColorScale.h"
#include "DispA.h"
#include "DrawText.h"

#include <memory>

class QCheckBox;
class QLineEdit;
namespace Ui { class CBarUI; }

// The colour scale of a view, drawn as a narrow vertical grey ramp with its range as
// rotated labels and two draggable contrast handles, plus a small panel ("CBarUI")
// with the "Fix" box and the Min/Max fields. Image builders read colorScale() (or call
// colorIndex) to turn values into grey levels; user changes are announced by newBar.
// A range end typed by the user checks "Fix", so that the next rebuild keeps it;
// unchecking "Fix" by hand announces newBar, and the rebuild takes the data's range.
class ColorBar : public DispA
{
    Q_OBJECT
public:
    explicit ColorBar(QWidget *parent = nullptr);
    ~ColorBar() override;

    int colorIndex(double v) const { return scale.colorIndex(v); }
    // A copy of this is what a builder on another thread renders with.
    const ColorScale &colorScale() const { return scale; }

    double minV() const { return scale.minV; }
    double maxV() const { return scale.maxV; }
    double lowR() const { return scale.lowR; }
    double highR() const { return scale.highR; }
    bool isGrabbed() const { return grabbed; }

    // Sets minV and maxV and shows them in the fields ('g', 6 digits). Emits nothing.
    void setRange(double minValue, double maxValue);
    // The rule every image builder applies before rendering: unless "Fix" is checked,
    // the range becomes the data's own minimum and maximum.
    void autoRange(double dataMin, double dataMax);
    bool isFixed() const;
    // Moves the contrast handles (normalised units) and repaints. Emits nothing.
    void setHandles(double low, double high);

    // The panel's inner frame; a view puts it into its own layout.
    QFrame *panelBase() const;
    QCheckBox *fixBox() const;
    QLineEdit *minEdit() const;
    QLineEdit *maxEdit() const;

signals:
    void newBar();

public slots:
    void draw1(QPainter *p);
    void onMouseMoved();
    void onMousePressed();
    void onMouseReleased();
    void minVEdited();
    void maxVEdited();
    void setFixColorScale(bool f);
    void fixClicked(bool fixed);

private:
    void fixWhenTyped(QLineEdit *field);
    // Normalised bar position of a canvas y (0 at the bottom edge, 1 at the top edge).
    double barPosition(int y) const;
    void grabHandle(double *handle);
    void drawRamp(QPainter *p) const;
    void drawHandles(QPainter *p) const;
    void drawLabels(QPainter *p) const;

    ColorScale scale;
    bool grabbed = false;
    double *grabbedR = &scale.lowR;
    // The panel's outer frame is never shown; its inner frame moves into the view.
    std::unique_ptr<QFrame> panelFrame;
    std::unique_ptr<Ui::CBarUI> ui;
    DrawText textDrawer;
};
