#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>
#include <memory>

#include "ProjectionSeries.h"

class ImgData;
class RowCache;
class ColorScale;
class QImage;

// The projection series of the current data set, in load order (= angle order).
// The first accepted image fixes the common size; clearImgs() keeps that size,
// clear() frees it. I0 and BG are links to the readers held by their selectors.
// Readers are shared: a run reads a snapshot() of the series, which keeps its readers
// alive after the window has let them go. GUI thread.
class ImgDatas : public QObject
{
    Q_OBJECT
public:
    explicit ImgDatas(QObject *parent = nullptr);
    ~ImgDatas() override;

    // Creates, opens and appends a reader for the file; false (with a debug line) when
    // the file is unknown, unreadable or of another size than the series. An HDF5 file
    // (Hdf5Series) appends all its projections, and its flats and darks become the I0
    // and BG of the series wherever no I0 or BG image is selected.
    bool add(const QString &fileName);
    // Decides, before the files are added, whether the series they make would exceed the
    // memory budget (the first image's size taken for all); if so, the files added from
    // now on are streamed through one row cache bounded by the budget, else kept in memory.
    // An HDF5 file decides for itself (Hdf5Series).
    void planLoad(const QStringList &files);
    // The files added are streamed.
    bool streams() const { return streamCache != nullptr; }

    int imageWidth() const { return width; }
    int imageHeight() const { return height; }
    int count() const { return int(imgs.size()); }
    // The reader of image index; nullptr when index is out of range.
    ImgData *at(int index) const { return index >= 0 && index < count() ? imgs[size_t(index)].get() : nullptr; }
    // Renders image index with ImgData::toImage and emits imageUpdated; false, with
    // nothing emitted, when index is out of range or the picture cannot be rendered.
    bool showImage(int index, QImage &image, ColorScale &scale, bool autoRange);

    using Reader = std::shared_ptr<ImgData>;
    // Links to the places where the current I0 and BG readers are kept.
    void setI0Link(const Reader *slot) { i0 = slot; }
    void setBgLink(const Reader *slot) { bg = slot; }
    // The current I0/BG readers: the selected image, else the HDF5 file's mean flat or
    // dark; nullptr when there is none.
    ImgData *i0Image() const;
    ImgData *bgImage() const;

    // The series as it is now, with the current I0 and BG, for a reader on any thread.
    std::shared_ptr<const ProjectionSeries> snapshot() const;

public slots:
    void clearImgs();
    void clear();

signals:
    void imageUpdated();

private:
    int width = 0;
    int height = 0;
    std::vector<Reader> imgs;
    bool addHdf5(const QString &fileName);

    const Reader *i0 = nullptr;
    const Reader *bg = nullptr;
    Reader fileI0; // the flats of the HDF5 file loaded
    Reader fileBg; // its darks
    std::shared_ptr<RowCache> streamCache; // of the files added, when streamed
    int streamRows = 1;
};
