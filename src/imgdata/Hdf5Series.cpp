#include "Hdf5Series.h"

#include "ImgDataFrame.h"
#include "RowCache.h"

#include <QDebug>
#include <QFile>
#include <QRecursiveMutex>

#include <hdf5.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <new>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// libhdf5 (as Debian builds it) is not thread-safe: every call into it holds this. Recursive,
// as a series read may free the streamed frames of the contents it replaces.
QRecursiveMutex &hdf5Library()
{
    static QRecursiveMutex library;
    return library;
}

// Why a file cannot be used: the one debug line read() gives.
struct Refusal
{
    QString reason;
};

[[noreturn]] void refuse(const QString &reason)
{
    throw Refusal{reason};
}

// An HDF5 identifier, closed with its own close function when it goes out of scope.
class Handle
{
public:
    Handle(hid_t id, herr_t (*close)(hid_t)) : id(id), closeId(close) {}
    ~Handle()
    {
        if (id >= 0)
            closeId(id);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    hid_t get() const { return id; }
    bool valid() const { return id >= 0; }

private:
    hid_t id;
    herr_t (*closeId)(hid_t);
};

// The frames of one 3-D dataset (frames x rows x columns) that play one part.
struct FrameSet
{
    QString path;
    std::vector<hsize_t> frames;
};

bool linkExists(hid_t file, const QString &path)
{
    // H5Lexists needs every group on the way to exist.
    QString prefix;
    for (const QString &part : path.split(u'/', Qt::SkipEmptyParts)) {
        prefix += u'/' + part;
        if (H5Lexists(file, prefix.toUtf8().constData(), H5P_DEFAULT) <= 0)
            return false;
    }
    return !prefix.isEmpty();
}

QString typeName(hid_t type)
{
    const H5T_class_t kind = H5Tget_class(type);
    const qint64 bits = qint64(H5Tget_size(type)) * 8;
    if (kind == H5T_FLOAT)
        return QStringLiteral("float%1").arg(bits);
    if (kind == H5T_INTEGER)
        return QStringLiteral("%1int%2").arg(H5Tget_sign(type) == H5T_SGN_NONE ? "u" : "").arg(bits);
    return QStringLiteral("non-numeric");
}

// Refuses data compressed with a filter this libhdf5 cannot decode: reading would only
// fail later, with a less helpful error.
void checkFilters(hid_t dataset, const QString &path)
{
    const Handle plist(H5Dget_create_plist(dataset), H5Pclose);
    const int count = H5Pget_nfilters(plist.get()); // negative for no property list: no filters
    for (int k = 0; k < count; ++k) {
        unsigned flags = 0, config = 0;
        size_t values = 0;
        char name[64] = {};
        const H5Z_filter_t filter = H5Pget_filter2(plist.get(), unsigned(k), &flags, &values, nullptr, sizeof name, name, &config);
        if (filter < 0 || H5Zfilter_avail(filter) <= 0)
            refuse(QStringLiteral("HDF5 dataset %1 is compressed with filter %2 (%3), which this libhdf5 cannot decode")
                       .arg(path).arg(filter).arg(QString::fromUtf8(name)));
    }
}

// libhdf5 copies stored values as the header declares them without comparing the two: a
// compact dataset holding fewer bytes than its dataspace, or an unfiltered chunk stored
// smaller than its chunk, would make it read past its own buffer. Both are refused.
void checkStoredSizes(hid_t dataset, hid_t space, hid_t type, const QString &path)
{
    const Handle plist(H5Dget_create_plist(dataset), H5Pclose);
    const H5D_layout_t layout = plist.valid() ? H5Pget_layout(plist.get()) : H5D_LAYOUT_ERROR;
    const size_t sampleBytes = H5Tget_size(type);
    if (layout == H5D_COMPACT) {
        const hssize_t points = H5Sget_simple_extent_npoints(space);
        const hsize_t stored = H5Dget_storage_size(dataset);
        if (points < 0 || sampleBytes == 0 || stored / sampleBytes < hsize_t(points))
            refuse(QStringLiteral("HDF5 dataset %1 stores %2 bytes for %3 values of %4 bytes").arg(path).arg(stored).arg(points).arg(sampleBytes));
    }
    if (layout != H5D_CHUNKED)
        return;
    // libhdf5 never writes a chunk larger than a dimension of fixed size; a header that
    // says so would make it copy a decoded chunk as if it were that large.
    const int rank = H5Sget_simple_extent_ndims(space);
    std::vector<hsize_t> chunk(size_t(std::max(rank, 0))), maxDims(chunk.size());
    if (rank <= 0 || H5Pget_chunk(plist.get(), rank, chunk.data()) != rank || H5Sget_simple_extent_dims(space, nullptr, maxDims.data()) != rank)
        refuse(QStringLiteral("HDF5 dataset %1 has no chunk size").arg(path));
    hsize_t chunkBytes = sampleBytes;
    for (size_t d = 0; d < chunk.size(); ++d) {
        if (maxDims[d] != H5S_UNLIMITED && chunk[d] > maxDims[d])
            refuse(QStringLiteral("HDF5 dataset %1 has chunks of %2 in a dimension of %3").arg(path).arg(chunk[d]).arg(maxDims[d]));
        chunkBytes *= chunk[d]; // at most 4 GB a chunk, as libhdf5 itself requires
    }
    if (H5Pget_nfilters(plist.get()) != 0)
        return;
    // Unfiltered chunks are stored whole: together they take chunks x chunkBytes.
    hsize_t chunks = 0;
    const hsize_t stored = H5Dget_storage_size(dataset);
    // (libhdf5 1.10 counts them only over a real dataspace, not H5S_ALL.)
    if (H5Dget_num_chunks(dataset, space, &chunks) >= 0 && chunkBytes != 0 && (stored % chunkBytes != 0 || stored / chunkBytes != chunks))
        refuse(QStringLiteral("HDF5 dataset %1 stores %2 bytes in %3 chunks of %4 bytes").arg(path).arg(stored).arg(chunks).arg(chunkBytes));
}

class Dataset
{
public:
    Dataset(hid_t file, const QString &path, int rank) : path(path), id(H5Dopen2(file, path.toUtf8().constData(), H5P_DEFAULT), H5Dclose)
    {
        if (!id.valid())
            refuse(QStringLiteral("HDF5 dataset %1 cannot be opened").arg(path));
        const Handle space(H5Dget_space(id.get()), H5Sclose);
        const int found = space.valid() ? H5Sget_simple_extent_ndims(space.get()) : -1;
        if (found != rank)
            refuse(QStringLiteral("HDF5 dataset %1 has rank %2, not %3").arg(path).arg(found).arg(rank));
        dims.resize(size_t(rank));
        H5Sget_simple_extent_dims(space.get(), dims.data(), nullptr);
        const Handle type(H5Dget_type(id.get()), H5Tclose);
        const H5T_class_t kind = type.valid() ? H5Tget_class(type.get()) : H5T_NO_CLASS;
        if (kind != H5T_INTEGER && kind != H5T_FLOAT)
            refuse(QStringLiteral("HDF5 dataset %1 holds no integers or floats").arg(path));
        sampleType = typeName(type.get());
        checkFilters(id.get(), path);
        checkStoredSizes(id.get(), space.get(), type.get(), path);
    }

    // Frame `index` of a 3-D dataset as doubles, rows x columns.
    std::vector<double> frame(hsize_t index) const
    {
        std::vector<double> pixels(size_t(dims[1] * dims[2]));
        const hsize_t start[3] = {index, 0, 0};
        const hsize_t count[3] = {1, dims[1], dims[2]};
        const hsize_t memoryDims[2] = {dims[1], dims[2]};
        read(start, count, memoryDims, 2, pixels.data());
        return pixels;
    }

    // A whole 1-D dataset as doubles.
    std::vector<double> values() const
    {
        std::vector<double> all(static_cast<size_t>(dims[0]));
        const hsize_t start[1] = {0};
        read(start, dims.data(), dims.data(), 1, all.data());
        return all;
    }

    const QString path;
    std::vector<hsize_t> dims;
    QString sampleType;

private:
    void read(const hsize_t *start, const hsize_t *count, const hsize_t *memoryDims, int memoryRank, double *out) const
    {
        const Handle fileSpace(H5Dget_space(id.get()), H5Sclose);
        const Handle memorySpace(H5Screate_simple(memoryRank, memoryDims, nullptr), H5Sclose);
        if (!fileSpace.valid() || !memorySpace.valid()
            || H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, count, nullptr) < 0
            || H5Dread(id.get(), H5T_NATIVE_DOUBLE, memorySpace.get(), fileSpace.get(), H5P_DEFAULT, out) < 0)
            refuse(QStringLiteral("HDF5 dataset %1 cannot be read").arg(path));
    }

    Handle id;
};

// Refuses a 3-D dataset of frames outside the readers' bounds.
void checkFrameBounds(const Dataset &data)
{
    const QString &path = data.path;
    if (data.dims[0] > hsize_t(Hdf5Series::maxFrames) || data.dims[1] < 1 || data.dims[2] < 1
        || data.dims[1] > hsize_t(ImgData::maxImageSide) || data.dims[2] > hsize_t(ImgData::maxImageSide))
        refuse(QStringLiteral("HDF5 dataset %1 of %2 x %3 x %4 is outside the bounds of the readers (%5 frames, %6 pixels a side)")
                   .arg(path).arg(data.dims[0]).arg(data.dims[1]).arg(data.dims[2]).arg(Hdf5Series::maxFrames).arg(ImgData::maxImageSide));
}

// The mean of the frames, pixel by pixel; nullptr without frames.
std::shared_ptr<ImgData> meanImage(hid_t file, const FrameSet &set, int width, int height, const QString &name)
{
    if (set.frames.empty())
        return nullptr;
    const Dataset data(file, set.path, 3);
    checkFrameBounds(data);
    if (data.dims[1] != hsize_t(height) || data.dims[2] != hsize_t(width))
        refuse(QStringLiteral("HDF5 dataset %1 has frames of %2 x %3, the projections %4 x %5")
                   .arg(set.path).arg(data.dims[2]).arg(data.dims[1]).arg(width).arg(height));
    std::vector<double> sum(size_t(width) * size_t(height), 0.0);
    for (hsize_t index : set.frames) {
        const std::vector<double> frame = data.frame(index);
        for (size_t p = 0; p < sum.size(); ++p)
            sum[p] += frame[p];
    }
    for (double &v : sum)
        v /= double(set.frames.size());
    auto mean = std::make_shared<ImgDataFrame>(name, width, height, std::move(sum));
    mean->setValid(mean->open());
    return mean;
}

// Whether angles[j] is j * halfTurn / M within a hundredth of the step.
bool uniformHalfTurn(const std::vector<double> &angles, double halfTurn)
{
    const double step = halfTurn / double(angles.size());
    for (size_t j = 0; j < angles.size(); ++j)
        if (!(std::abs(angles[j] - double(j) * step) <= 0.01 * step))
            return false;
    return true;
}

void checkAngles(const std::vector<double> &angles, const QString &path, Hdf5Series::Contents &contents)
{
    const size_t m = angles.size();
    const bool degrees = uniformHalfTurn(angles, 180.0);
    if (!degrees && !uniformHalfTurn(angles, M_PI)) {
        const double step = m > 1 ? (angles.back() - angles.front()) / double(m - 1) : 0.0;
        refuse(QStringLiteral("Angles of %1 are not a uniform half turn: %2 angles from %3 to %4 in mean steps of %5, "
                              "where j * 180 / %2 degrees from 0 is expected")
                   .arg(path).arg(m).arg(angles.front(), 0, 'g', 6).arg(angles.back(), 0, 'g', 6).arg(step, 0, 'g', 6));
    }
    const double toDegrees = degrees ? 1.0 : 180.0 / M_PI;
    contents.anglesGiven = true;
    contents.firstAngle = angles.front() * toDegrees;
    contents.lastAngle = angles.back() * toDegrees;
}

// What the NXtomo image keys say each frame is.
void splitByKey(hid_t file, const QString &dataPath, hsize_t frames, FrameSet &projections, FrameSet &flats, FrameSet &darks)
{
    const QString keyPath = linkExists(file, "/entry/data/image_key") ? QStringLiteral("/entry/data/image_key")
                                                                      : QStringLiteral("/entry/instrument/detector/image_key");
    if (!linkExists(file, keyPath))
        refuse(QStringLiteral("NXtomo file without image_key"));
    const Dataset keys(file, keyPath, 1);
    if (keys.dims[0] != frames)
        refuse(QStringLiteral("image_key has %1 entries for %2 frames").arg(keys.dims[0]).arg(frames));
    projections.path = flats.path = darks.path = dataPath;
    const std::vector<double> key = keys.values();
    for (hsize_t f = 0; f < frames; ++f) {
        if (key[f] == 0)
            projections.frames.push_back(f);
        else if (key[f] == 1)
            flats.frames.push_back(f);
        else if (key[f] == 2)
            darks.frames.push_back(f);
    }
}

// The angles of the projections, when the file has them.
void readAngles(hid_t file, const QStringList &candidates, const FrameSet &projections, hsize_t allFrames,
                Hdf5Series::Contents &contents)
{
    for (const QString &path : candidates) {
        if (!linkExists(file, path))
            continue;
        const Dataset angles(file, path, 1);
        if (angles.dims[0] != allFrames)
            refuse(QStringLiteral("%1 has %2 angles for %3 frames").arg(path).arg(angles.dims[0]).arg(allFrames));
        const std::vector<double> all = angles.values();
        std::vector<double> ofProjections;
        for (hsize_t f : projections.frames)
            ofProjections.push_back(all[f]);
        checkAngles(ofProjections, path, contents);
        return;
    }
}

// The projections dataset of one file, for its streamed frames: opened at the first read
// and closed with the last frame.
class FrameSource
{
public:
    FrameSource(const QString &fileName, const QString &path) : fileName(fileName), path(path) {}
    ~FrameSource()
    {
        const QMutexLocker lock(&hdf5Library());
        dataset.reset();
        file.reset();
    }

    // Rows first ... first + count - 1 of frame `frame` (width pixels a row) as doubles;
    // false when the file or dataset cannot be read.
    bool readRows(hsize_t frame, int first, int count, int width, double *out)
    {
        const QMutexLocker lock(&hdf5Library());
        if (!dataset && !open())
            return false;
        const hsize_t start[3] = {frame, hsize_t(first), 0};
        const hsize_t rows[3] = {1, hsize_t(count), hsize_t(width)};
        const hsize_t memoryDims[2] = {hsize_t(count), hsize_t(width)};
        const Handle fileSpace(H5Dget_space(dataset->get()), H5Sclose);
        const Handle memorySpace(H5Screate_simple(2, memoryDims, nullptr), H5Sclose);
        return fileSpace.valid() && memorySpace.valid()
               && H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, rows, nullptr) >= 0
               && H5Dread(dataset->get(), H5T_NATIVE_DOUBLE, memorySpace.get(), fileSpace.get(), H5P_DEFAULT, out) >= 0;
    }

private:
    bool open()
    {
        file = std::make_unique<Handle>(H5Fopen(QFile::encodeName(fileName).constData(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
        if (file->valid())
            dataset = std::make_unique<Handle>(H5Dopen2(file->get(), path.toUtf8().constData(), H5P_DEFAULT), H5Dclose);
        if (dataset && dataset->valid())
            return true;
        dataset.reset();
        return false;
    }

    const QString fileName;
    const QString path;
    std::unique_ptr<Handle> file;
    std::unique_ptr<Handle> dataset;
};

// One projection of a streamed series: geometry only; rows come from the file.
class StreamedFrame : public ImgData
{
public:
    StreamedFrame(const QString &name, int width, int height, std::shared_ptr<FrameSource> source, hsize_t frame)
        : frameWidth(width), frameHeight(height), source(std::move(source)), frame(frame)
    {
        setFileName(name);
    }

    void reset() override { width = height = 0; }
    bool readProps(const QString &name, int &w, int &h) override
    {
        w = frameWidth;
        h = frameHeight;
        return sidesAccepted(frameWidth, frameHeight, name);
    }
    bool load() override { return false; } // streamed only: the pixels stay in the file
    double *line(int y, double *buffer) const override { return streamedLine(y, buffer); }
    double *column(int x, double *buffer) const override { return streamedColumn(x, buffer); }

protected:
    bool readRows(int first, int count, double *out) const override
    {
        if (source->readRows(frame, first, count, width, out))
            return true;
        std::fill_n(out, qint64(count) * width, 0.0);
        qDebug() << "HDF5 rows cannot be read" << fileName;
        return false;
    }

private:
    const int frameWidth;
    const int frameHeight;
    const std::shared_ptr<FrameSource> source;
    const hsize_t frame;
};

// What readSeries does with the projections: all of them, or (for the structure check) only
// the first row of the first and last, which walks the dataset's storage index both ends.
enum class Frames { All, FirstRows };

void readSeries(hid_t file, const QString &fileName, Hdf5Series::Contents &contents, Frames frames = Frames::All)
{
    FrameSet projections, flats, darks;
    QStringList anglePaths;
    const bool exchange = linkExists(file, "/exchange/data");
    if (!exchange && !linkExists(file, "/entry/data/data"))
        refuse(QStringLiteral("HDF5 file without /exchange/data or /entry/data/data"));
    const Dataset data(file, exchange ? QStringLiteral("/exchange/data") : QStringLiteral("/entry/data/data"), 3);
    checkFrameBounds(data);
    if (exchange) {
        projections.path = data.path;
        for (hsize_t f = 0; f < data.dims[0]; ++f)
            projections.frames.push_back(f);
        for (auto [set, path] : {std::pair{&flats, "/exchange/data_white"}, {&darks, "/exchange/data_dark"}})
            if (linkExists(file, path)) {
                const Dataset frames(file, path, 3);
                checkFrameBounds(frames);
                set->path = path;
                for (hsize_t f = 0; f < frames.dims[0]; ++f)
                    set->frames.push_back(f);
            }
        anglePaths = {"/exchange/theta"};
    } else {
        splitByKey(file, data.path, data.dims[0], projections, flats, darks);
        anglePaths = {"/entry/data/rotation_angle", "/entry/sample/rotation_angle"};
    }
    const qint64 m = qint64(projections.frames.size());
    const int height = int(data.dims[1]), width = int(data.dims[2]);
    if (m < 1)
        refuse(QStringLiteral("HDF5 file without projections"));
    if (m * width * height > Hdf5Series::maxPixels)
        refuse(QStringLiteral("%1 projections of %2 x %3 are more than the %4 pixels a series may hold")
                   .arg(m).arg(width).arg(height).arg(Hdf5Series::maxPixels));
    readAngles(file, anglePaths, projections, data.dims[0], contents);

    contents.layout = exchange ? QStringLiteral("Data Exchange") : QStringLiteral("NXtomo");
    contents.sampleType = data.sampleType;
    contents.width = width;
    contents.height = height;
    contents.flats = int(flats.frames.size());
    contents.darks = int(darks.frames.size());
    contents.i0 = meanImage(file, flats, width, height, fileName + QStringLiteral(" (mean of the flats)"));
    contents.bg = meanImage(file, darks, width, height, fileName + QStringLiteral(" (mean of the darks)"));
    if (frames == Frames::FirstRows) {
        std::vector<double> row(static_cast<size_t>(width));
        FrameSource source(fileName, data.path);
        for (hsize_t f : {projections.frames.front(), projections.frames.back()})
            if (!source.readRows(f, 0, 1, width, row.data()))
                refuse(QStringLiteral("HDF5 dataset %1 cannot be read").arg(data.path));
        return;
    }
    // Above the memory budget the frames are streamed: a few hundred bytes of file may also
    // declare terabytes of (fill-value) frames, which then cost nothing until read.
    const bool streamed = m * width * height * qint64(sizeof(double)) > memoryBudget();
    const auto cache = streamed ? std::make_shared<RowCache>(memoryBudget()) : nullptr;
    const auto source = streamed ? std::make_shared<FrameSource>(fileName, data.path) : nullptr;
    contents.streamed = streamed;
    for (hsize_t f : projections.frames) {
        const QString name = QStringLiteral("%1 [%2]").arg(fileName).arg(f);
        std::shared_ptr<ImgData> frame;
        if (streamed) {
            frame = std::make_shared<StreamedFrame>(name, width, height, source, f);
            frame->streamThrough(cache, cache->rowsPerBlock(m, width));
        } else {
            frame = std::make_shared<ImgDataFrame>(name, width, height, data.frame(f));
        }
        frame->setValid(frame->open());
        contents.projections.push_back(std::move(frame));
    }
}

void dropMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

// The child's refusal, through a pipe.
void writeReason(int fd, const QString &reason)
{
    QFile pipe;
    if (pipe.open(fd, QIODevice::WriteOnly))
        pipe.write(reason.toUtf8());
}

QString readReason(int fd)
{
    QFile pipe;
    return pipe.open(fd, QIODevice::ReadOnly) ? QString::fromUtf8(pipe.readAll()) : QString();
}

constexpr int kUsable = 0;
constexpr int kRefused = 3;

// In the child: the structure read, its refusal (if any) written to the pipe, and the exit
// code; _exit, so that nothing of the parent's (buffers, exit handlers) runs twice.
[[noreturn]] void checkInChild(const QString &fileName, int pipe)
{
    qInstallMessageHandler(dropMessage);
    int code = kUsable;
    try {
        const Handle file(H5Fopen(QFile::encodeName(fileName).constData(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
        if (!file.valid())
            refuse(QStringLiteral("Not a readable HDF5 file"));
        Hdf5Series::Contents contents;
        readSeries(file.get(), fileName, contents, Frames::FirstRows);
    } catch (const Refusal &refusal) {
        writeReason(pipe, refusal.reason);
        code = kRefused;
    } catch (const std::bad_alloc &) {
        writeReason(pipe, QStringLiteral("Not enough memory to load"));
        code = kRefused;
    }
    ::_exit(code); // closes the pipe
}

// libhdf5 1.10 trusts a file's metadata: a damaged or crafted file can make it read through
// a null pointer or past its own buffers, and it would take the whole program down. The
// structure of the file (groups, datasets, keys, angles, the mean flat and dark, the storage
// index at both ends of the projections) is therefore read first in a child process; a file
// it refuses, or that ends the child, is refused here without touching this process's libhdf5.
// Called with the library's mutex held, so that no other thread is inside libhdf5 at the fork.
// Where no process can be made (a strict overcommit policy), the file is read as before.
void checkStructure(const QString &fileName)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        checkInChild(fileName, fds[1]);
    }
    ::close(fds[1]);
    if (child < 0) {
        ::close(fds[0]);
        return;
    }
    const QString reason = readReason(fds[0]);
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kUsable)
        return;
    if (WIFEXITED(status) && WEXITSTATUS(status) == kRefused)
        refuse(reason);
    refuse(WIFSIGNALED(status) ? QStringLiteral("HDF5 library crashed on this file (signal %1); damaged file").arg(WTERMSIG(status))
                               : QStringLiteral("HDF5 library failed on this file (exit status %1); damaged file").arg(WEXITSTATUS(status)));
}

} // namespace

bool Hdf5Series::isHdf5File(const QString &fileName)
{
    static const QByteArray signature("\x89HDF\r\n\x1a\n", 8);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (qint64 offset : {0, 512, 1024, 2048})
        if (file.seek(offset) && file.read(8) == signature)
            return true;
    return false;
}

bool Hdf5Series::read(const QString &fileName, Contents &contents)
{
    // libhdf5's error stack would print.
    const QMutexLocker lock(&hdf5Library());
    static const bool silenced = H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr) >= 0;
    Q_UNUSED(silenced);
    contents = Contents();
    try {
        checkStructure(fileName);
        const Handle file(H5Fopen(QFile::encodeName(fileName).constData(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
        if (!file.valid())
            refuse(QStringLiteral("Not a readable HDF5 file"));
        readSeries(file.get(), fileName, contents);
        return true;
    } catch (const Refusal &refusal) {
        qDebug() << qUtf8Printable(refusal.reason) << fileName;
    } catch (const std::bad_alloc &) {
        qDebug() << "Not enough memory to load" << fileName;
    }
    contents = Contents();
    return false;
}
