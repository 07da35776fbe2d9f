#pragma once

class ColorBar;
class ImgData;
class ImgDatas;
class QImage;

// Measured images rendered through a view's colour bar: the bar's scale, its range
// set to the image's own unless "Fix" is checked. False, with bar and picture as they
// were, when the image cannot be rendered.
bool renderThroughBar(ImgData &img, QImage &picture, ColorBar &bar);
// Image index of the series, emitting the series' imageUpdated on success.
bool renderThroughBar(ImgDatas &series, int index, QImage &picture, ColorBar &bar);
