#pragma once

#include "SelectAFile.h"
#include "ui_SelectAImgFile.h"

#include "ImgDispWPV.h"

#include <memory>
#include <vector>

class ImgData;

// A file selector that reads the chosen image at once and shows it in an image
// window of its own (hidden until the first good load). FilePath turns green on a
// good load and red on a failed one; a failed load keeps the image held before, and
// FilePath's tool tip then names the failed file and the image still in use.
// The exposure-time field belongs to the image (the I0 and BG normalisation reads it).
class SelectAImgFile : public SelectAFile, public Ui::SelectAImgFile
{
    Q_OBJECT
public:
    explicit SelectAImgFile(QWidget *parent = nullptr);
    ~SelectAImgFile() override;

    // The loaded image; nullptr when none. The projection series keeps a link to this
    // member, so it stays at a fixed place; a run that took the image keeps it alive
    // after a new load or a clear here.
    std::shared_ptr<ImgData> image;

    ImgDispWPV &imageView() { return view; }

signals:
    // "Show Img" was pressed. An owner that docked the image view brings it forward;
    // an undocked view shows itself as a window.
    void showImageAsked();

public slots:
    void noticedNewPos(double x, double y);
    void clear();
    void setExpTime(double time);

private slots:
    void loadImage(const QString &fname);
    void showImageWindow();
    void render();

private:
    void dropImage();
    QString failedLoadNote(const QString &failed) const;

    ImgDispWPV view;
    double defaultExpTime = 0.0;
    std::vector<double> rowBuffer; // one image row for the value read-out
};
