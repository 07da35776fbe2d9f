#pragma once

#include <QString>

#include <memory>
#include <vector>

class ImgData;

// A whole projection series in one HDF5 file, as synchrotron beamlines write it:
//  - Data Exchange: /exchange/data (projections x rows x columns), /exchange/data_white
//    (flats), /exchange/data_dark (darks) and /exchange/theta (angles in degrees);
//  - NeXus NXtomo: /entry/data/data (frames x rows x columns) with /entry/data/image_key
//    (or /entry/instrument/detector/image_key): 0 a projection, 1 a flat, 2 a dark, other
//    frames are left out; angles in /entry/data/rotation_angle or
//    /entry/sample/rotation_angle, degrees, when present.
// Pixels of any integer or float type are read as doubles. The flats are averaged into
// the I0 image and the darks into the BG image.
//
// The reconstruction takes projection j at j * 180 / M degrees (M projections over half a
// turn). Angles of the file are accepted when they are that, in degrees or radians, to a
// hundredth of the step (the order of the frames is the order of the angles); a file
// without angles is taken as such a half turn. Anything else is refused.
//
// A file that cannot be used gives one debug line (what is wrong, then the file name) and
// false; libhdf5's own error printing is silenced. The file's structure is read first in a
// child process, so that a damaged file on which libhdf5 crashes is refused, not fatal.
// Not reentrant: GUI thread (the readers it makes are read from any thread; streamed ones
// serialise their calls into libhdf5).
class Hdf5Series
{
public:
    struct Contents
    {
        QString layout; // "Data Exchange" or "NXtomo"
        QString sampleType; // e.g. "float32", "uint16"
        int width = 0;
        int height = 0;
        std::vector<std::shared_ptr<ImgData>> projections;
        std::shared_ptr<ImgData> i0; // mean of the flats; nullptr without flats
        std::shared_ptr<ImgData> bg; // mean of the darks; nullptr without darks
        int flats = 0;
        int darks = 0;
        bool anglesGiven = false;
        double firstAngle = 0.0; // degrees
        double lastAngle = 0.0;
        // The projections are above the memory budget (as doubles): their readers keep
        // the geometry only and read rows from the file when asked.
        bool streamed = false;
    };

    // Largest number of frames in a file accepted.
    static constexpr qint64 maxFrames = 1 << 20;
    // Largest number of pixels of all projections together (8 bytes each in memory).
    static constexpr qint64 maxPixels = qint64(1) << 34;

    // True when the file carries the HDF5 signature (at the start or after a user block
    // of 512, 1024 or 2048 bytes).
    static bool isHdf5File(const QString &fileName);
    // Reads the whole series; false with one debug line when the file cannot be used.
    static bool read(const QString &fileName, Contents &contents);
};
