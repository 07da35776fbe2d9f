#pragma once

#include <QObject>
#include <QString>

#include <vector>
#include <memory>

class ImgData;
class ColorBar;
class QImage;

// The projection series of the current data set, in load order (= angle order).
// The first accepted image fixes the common size; clearImgs() keeps that size,
// clear() frees it. I0 and BG are links to the readers held by their selectors.
class ImgDatas : public QObject
{
    Q_OBJECT
public:
    explicit ImgDatas(QObject *parent = nullptr);
    ~ImgDatas() override;

    // Creates, opens and appends a reader for the file; false (with a debug line) when
    // the file is unknown, unreadable or of another size than the series.
    bool add(const QString &fileName);

    int imageWidth() const { return width; }
    int imageHeight() const { return height; }
    int count() const { return int(imgs.size()); }
    // The reader of image index; nullptr when index is out of range.
    ImgData *at(int index) const { return index >= 0 && index < count() ? imgs[size_t(index)].get() : nullptr; }
    // Renders image index with ImgData::toImage and emits imageUpdated; false, with
    // nothing emitted, when index is out of range or the picture cannot be rendered.
    bool showImage(int index, QImage &image, ColorBar &colorBar);

    // Links to the places where the current I0 and BG reader pointers are kept.
    void setI0Link(ImgData *const *slot) { i0 = slot; }
    void setBgLink(ImgData *const *slot) { bg = slot; }
    // The current I0/BG readers; nullptr when there is none.
    ImgData *i0Image() const { return i0 ? *i0 : nullptr; }
    ImgData *bgImage() const { return bg ? *bg : nullptr; }

public slots:
    void clearImgs();
    void clear();

signals:
    void imageUpdated();

private:
    int width = 0;
    int height = 0;
    std::vector<std::unique_ptr<ImgData>> imgs;
    ImgData *const *i0 = nullptr;
    ImgData *const *bg = nullptr;
};
