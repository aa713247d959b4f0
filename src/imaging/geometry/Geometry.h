// Operations that move pixels without resampling: copying and filling rectangles, color
// replacement, flipping, mirroring and rotation by right angles. Every operation returns
// false without change when an image is invalid; compressed images are decoded to
// A8R8G8B8 for the operation and encoded again at their own size afterwards.
#pragma once

#include <cstdint>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

// Intersects a rectangle with an image of imageWidth x imageHeight; an empty result has
// width or height 0.
void ClipRectBounds(int32_t& x, int32_t& y, int32_t& width, int32_t& height, int32_t imageWidth,
                    int32_t imageHeight);

// Clips a copy of width x height pixels from (srcX, srcY) to (dstX, dstY): the destination
// start is moved onto the destination, then the source start onto the source (each move
// carries the other start along and shrinks the extent), then the extent is cut at the
// source's and the destination's right and bottom edges.
void ClipCopyBounds(int32_t& srcX, int32_t& srcY, int32_t& width, int32_t& height, int32_t& dstX,
                    int32_t& dstY, int32_t srcImageWidth, int32_t srcImageHeight,
                    int32_t dstImageWidth, int32_t dstImageHeight);

// The same for a stretch: each cut on one side is carried over to the other side scaled by
// the ratio of the unclipped extents and rounded to the nearest pixel.
void ClipStretchBounds(int32_t& srcX, int32_t& srcY, int32_t& srcWidth, int32_t& srcHeight,
                       int32_t& dstX, int32_t& dstY, int32_t& dstWidth, int32_t& dstHeight,
                       int32_t srcImageWidth, int32_t srcImageHeight, int32_t dstImageWidth,
                       int32_t dstImageHeight);

// Copies pixels byte for byte after clipping; a source of another format is converted on
// a temporary copy first. Colors bound for an indexed destination are matched against the
// destination's palette. False when the clipped rectangle is empty.
bool ImageCopyRect(const TImageData& src, int32_t srcX, int32_t srcY, int32_t width, int32_t height,
                   TImageData& dst, int32_t dstX, int32_t dstY);

// Fills the clipped rectangle with one raw pixel of the image's format (a TPixel32 for
// compressed images). False when the clipped rectangle is empty.
bool ImageFillRect(TImageData& image, int32_t x, int32_t y, int32_t width, int32_t height,
                   const void* fillColor);

// Within the clipped rectangle every pixel whose bytes equal oldColor gets newColor's
// bytes (raw pixels of the image's format; TPixel32 for compressed images).
bool ImageReplaceColor(TImageData& image, int32_t x, int32_t y, int32_t width, int32_t height,
                       const void* oldColor, const void* newColor);

// The first row becomes the last.
bool ImageFlipVertical(TImageData& image);
// The first column becomes the last.
bool ImageMirror(TImageData& image);
// Rotates by a multiple of 90 degrees, counter-clockwise for positive angles; angles
// beyond a full turn are reduced modulo 360. Raises EImagingError for other angles.
bool ImageRotateRightAngle(TImageData& image, int32_t angle);

}  // namespace pixolan::imaging
