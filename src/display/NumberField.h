#pragma once

#include <QLineEdit>
#include <QStringList>

// A number field of the views' read-out rows and colour-bar panels. It asks the layout
// for the width of the longest texts it will really hold (setTypicalTexts: the image's
// coordinates, the data's range), yet can be squeezed much narrower, so that a narrow
// view keeps its colour bar in sight. Squeezed, it shows the start of its text with an
// ellipsis and the whole text as its tool tip, never a scrolled tail that reads as
// another number. While the user edits it, it behaves as a plain line edit.
class NumberField : public QLineEdit
{
    Q_OBJECT
public:
    explicit NumberField(QWidget *parent = nullptr);

    void setTypicalTexts(const QStringList &texts);
    // The text fits the field: shown whole, not elided.
    bool showsWhole() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    int textAreaWidth() const;
    void updateToolTip();

    QStringList typicalTexts{"0"};
};
