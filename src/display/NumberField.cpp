#include "NumberField.h"

#include "FieldWidth.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {
// Narrowest useful field: a digit and the ellipsis.
const QStringList kNarrowest{QStringLiteral("0\u2026")};
// Blank pixels a line edit keeps left and right of its text.
constexpr int kTextSideMargin = 2;
} // namespace

NumberField::NumberField(QWidget *parent) : QLineEdit(parent)
{
    // Wider than its numbers it would only take room from the view.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(this, &QLineEdit::textChanged, this, &NumberField::updateToolTip);
}

void NumberField::setTypicalTexts(const QStringList &texts)
{
    if (texts == typicalTexts)
        return;
    typicalTexts = texts;
    // The form's maximum must not cut what the field is meant to show.
    setMaximumWidth(std::max(maximumWidth(), FieldWidth::widthFor(this, typicalTexts)));
    updateGeometry();
}

QSize NumberField::sizeHint() const
{
    return QSize(FieldWidth::widthFor(this, typicalTexts), QLineEdit::sizeHint().height());
}

QSize NumberField::minimumSizeHint() const
{
    return QSize(FieldWidth::widthFor(this, kNarrowest), QLineEdit::minimumSizeHint().height());
}

int NumberField::textAreaWidth() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    return area.marginsRemoved(textMargins()).width() - 2 * kTextSideMargin;
}

bool NumberField::showsWhole() const
{
    return fontMetrics().horizontalAdvance(text()) <= textAreaWidth();
}

void NumberField::updateToolTip() { setToolTip(showsWhole() ? QString() : text()); }

void NumberField::resizeEvent(QResizeEvent *e)
{
    QLineEdit::resizeEvent(e);
    updateToolTip();
}

void NumberField::paintEvent(QPaintEvent *e)
{
    if (hasFocus() || showsWhole()) {
        QLineEdit::paintEvent(e);
        return;
    }
    // The frame and background as the style draws them, then the elided text.
    QPainter p(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &p, this);
    QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).marginsRemoved(textMargins());
    area.adjust(kTextSideMargin, 0, -kTextSideMargin, 0);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}
