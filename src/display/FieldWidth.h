#pragma once

#include <QStringList>

class QLineEdit;

// Widths of the number fields. A line edit too narrow for its text scrolls it and shows
// the right end only ("806" for 1806), which reads as a different number; so each
// read-out and range field is made wide enough, in its own font, for the longest text it
// can hold. Views and panels call these for every such field they own.
namespace FieldWidth {
// The longest texts of a real in the fields' format ('g', 6 significant digits): with
// sign and a three-digit signed exponent, and the longest plain form.
QStringList longestReal();
// The longest text of an integer of magnitude at most largest, with sign.
QStringList longestInteger(qint64 largest);
// The longest texts of the values from lowest to highest in the fields' format: the two
// ends and the six-digit fixed form at the larger end's magnitude ("4000.12" for 4000);
// with a sign when lowest is negative.
QStringList valueTexts(double lowest, double highest);
// Width in pixels, frame and margins included, at which field shows each text whole.
int widthFor(const QLineEdit *field, const QStringList &texts);
// Makes field at least that wide; a smaller maximum width is lifted to it.
void fitText(QLineEdit *field, const QStringList &texts);
inline void fitReal(QLineEdit *field) { fitText(field, longestReal()); }
inline void fitInteger(QLineEdit *field, qint64 largest) { fitText(field, longestInteger(largest)); }
} // namespace FieldWidth
