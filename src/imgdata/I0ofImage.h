#pragma once

#include "ui_I0ofImage.h"

#include "XafsI0.h"

#include <QFrame>

// Additional CT-XAFS information about the I0 of a kind of image: a fixed value, or
// I0 against energy from an XAFS scan file. `CurrentI0` shows the I0 at the energy
// of the current data set; nothing else in the program uses these values.
class I0ofImage : public QFrame, public Ui::I0ofImage
{
    Q_OBJECT
public:
    explicit I0ofImage(QWidget *parent = nullptr);

    // I0 at energy (eV): from the XAFS table when "Calc from XAFS file" is checked
    // and a table is loaded, else the fixed value.
    double i0At(double energy) const;
    const XafsI0 &xafsI0() const { return table; }

public slots:
    // The energy (eV) of the data set now loaded; shows its I0.
    void setEnergy(double energy);

private slots:
    void readXafsFile(const QString &fileName);
    void dropXafsFile();
    void showCurrentI0();

private:
    XafsI0 table;
    double currentEnergy = 0.0;
};
