#pragma once

#include <QString>

// Values typed into the panels' fields. Input that does not parse is accepted as 0,
// so a field never blocks the user; consumers check ranges themselves.

// Base-10 integer; 0 for text that is not an integer or does not fit 32 bits.
int intFieldValue(const QString &text);
// Real number; 0 for text that is not a finite number (an infinite or NaN centre
// of rotation or exposure time would only poison every later calculation).
double realFieldValue(const QString &text);
// A real as the fields show it: general format, 6 significant digits.
QString realFieldText(double value);
