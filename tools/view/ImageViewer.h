#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class ImgData;
class ImgDispWPV;

// One image file shown in an ImgDispWPV: rendered through the view's colour bar,
// re-rendered when the bar changes, with the value under the pointer read out.
class ImageViewer : public QObject
{
    Q_OBJECT
public:
    ImageViewer();
    ~ImageViewer() override;

    // False (with a debug line) when the file is not a readable image.
    bool open(const QString &fileName);
    ImgDispWPV *view() const { return display.get(); }
    // Puts the pointer at a canvas position, as if the user had moved it there.
    void pointAt(int canvasX, int canvasY);

private slots:
    void render();
    void showValue(double x, double y);

private:
    std::unique_ptr<ImgDispWPV> display;
    std::unique_ptr<ImgData> reader;
    std::vector<double> row;
};
