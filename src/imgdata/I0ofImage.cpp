#include "I0ofImage.h"

#include "FieldValue.h"

I0ofImage::I0ofImage(QWidget *parent)
    : QFrame(parent)
{
    setupUi(this);
    XafsFile->fileDialog().setNameFilters({tr("XAFS data (*.dat *.txt)"), tr("Any file (* *.*)")});
    connect(XafsFile, &SelectAFile::fileSelected, this, &I0ofImage::readXafsFile);
    connect(XafsFile, &SelectAFile::clear, this, &I0ofImage::dropXafsFile);
    connect(CalcFromXAFS, &QCheckBox::toggled, this, &I0ofImage::showCurrentI0);
    connect(I0Val, &QLineEdit::textChanged, this, &I0ofImage::showCurrentI0);
    showCurrentI0();
}

double I0ofImage::i0At(double energy) const
{
    if (CalcFromXAFS->isChecked() && table.isLoaded())
        return table.i0At(energy);
    return realFieldValue(I0Val->text());
}

void I0ofImage::setEnergy(double energy)
{
    currentEnergy = energy;
    showCurrentI0();
}

void I0ofImage::readXafsFile(const QString &fileName)
{
    XafsFile->setStat(table.read(fileName));
    showCurrentI0();
}

void I0ofImage::dropXafsFile()
{
    const double spacing = table.d(); // the crystal stays until a file states another
    table = XafsI0();
    table.setD(spacing);
    showCurrentI0();
}

void I0ofImage::showCurrentI0()
{
    CurrentI0->setText(realFieldText(i0At(currentEnergy)));
}
