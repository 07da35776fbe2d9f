#pragma once

class ProjectionSeries;
class ImgData;
struct HSgm;
struct SgmGeometry;

// Builds the attenuation sinogram of one slice from the projection series.
//
// Stateless: every call uses its own working buffers and only reads the series, so the
// sinogram panel (GUI thread) and every reconstruction worker (own thread, own HSgm)
// may call it at the same time while the series stays unchanged.
class SinogramGenerator
{
public:
    // Fills hSgm with line `slice` of every projection (image rows when rotAxIsV, else
    // image columns), resampled around cor and normalised with the series' I0 and BG
    // images: sgm = ln((I0 - BG) / (I - BG)), each difference replaced by 1 when it is
    // not positive or not finite. Returns false and leaves the record as it was when nothing can be
    // built: cor not finite, floor(cor) <= 0, ceil(cor) >= the detector size, cor within
    // one pixel of the far edge, or slice outside the image (with a debug line).
    static bool genSinogram0(const ProjectionSeries &imgs, HSgm *hSgm, bool rotAxIsV, double cor, int slice);

private:
    // Resampled line `slice` of an I0 or BG image, or `neutral` everywhere when the image
    // is absent, not valid or of another size than the series.
    static void referenceRow(const ImgData *img, const ProjectionSeries &imgs, const SgmGeometry &geometry,
                             int slice, double neutral, double *row, double *lineBuf);
    static void readLine(const ImgData &img, bool rotAxIsV, int slice, double *lineBuf);
};
