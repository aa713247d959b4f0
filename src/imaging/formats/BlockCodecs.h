// Encoders and decoders of the 4x4 block formats DXT1, DXT3, DXT5, BTC, ATI1N and ATI2N.
#pragma once

#include <cstdint>

namespace pixolan::imaging::blocks {

// Every function works on a whole image whose width and height are multiples of 4.
// Decoded pixels are A8R8G8B8 (B, G, R, A bytes) for DXT1/3/5 and ATI2N, Gray8 for BTC and
// ATI1N; the encoders take the same layouts. Block data is stored row of blocks by row of
// blocks, each block little-endian as its published definition lays it out.
//
// Memory: a call reads and writes only the width*height pixels (no row padding) and the
// (width/4)*(height/4) blocks of the block buffer. Blocks are 8 bytes for DXT1 and ATI1N, 16 for
// DXT3, DXT5 and ATI2N, 4 for BTC. Callers pad images to multiples of 4; pixels of a partial
// block at the right or bottom edge of other sizes are neither read nor written.
//
// Blocks:
// - DXT1: color0, color1 (RGB565, expanded by bit replication), then 2-bit indices, pixel
//   y*4+x at bits 2*(y*4+x). color0 > color1: 4 colors, the two inner ones (2*c0+c1)/3 and
//   (c0+2*c1)/3. Otherwise 3 colors, index 2 = (c0+c1)/2, index 3 = transparent black (alpha 0).
//   All other pixels decode with alpha 255.
// - DXT3: 16 4-bit alphas (value*17), then a DXT1-style color block always read in 4-color mode.
// - DXT5: alpha0, alpha1 and 3-bit indices (48 bits); alpha0 > alpha1: 8 values, the inner ones
//   ((7-k)*a0 + k*a1)/7; else 6 values ((5-k)*a0 + k*a1)/5 plus 0 and 255. Then a color block in
//   4-color mode.
// - BTC: lower gray, upper gray, 16-bit field; bit y*4+x set = upper.
// - ATI1N (BC4): one DXT5-style alpha block, decoded to gray.
// - ATI2N (BC5): two such blocks, red then green; decoded with blue 0 and alpha 255.
// Interpolated values are integer quotients truncated towards zero, as in common software
// decoders.
//
// Encoders: DXT colors are fitted along the principal axis of each block with least-squares and
// local endpoint refinement, one-color blocks through tables of the best endpoint pairs; DXT1
// marks pixels of alpha below 128 transparent (3-color mode, index 3), so decoded DXT1 alpha is
// 0 or 255. DXT3 alpha is rounded to the nearest multiple of 17. Alpha blocks (DXT5, ATI1N,
// ATI2N) take the better of the 8- and 6-value modes. BTC is absolute-moment BTC (threshold at
// the block mean). The output depends only on the input pixels.
void DecodeDXT1(const uint8_t* src, int width, int height, uint8_t* dst);
void DecodeDXT3(const uint8_t* src, int width, int height, uint8_t* dst);
void DecodeDXT5(const uint8_t* src, int width, int height, uint8_t* dst);
void DecodeBTC(const uint8_t* src, int width, int height, uint8_t* dst);
void DecodeATI1N(const uint8_t* src, int width, int height, uint8_t* dst);
void DecodeATI2N(const uint8_t* src, int width, int height, uint8_t* dst);

void EncodeDXT1(const uint8_t* src, int width, int height, uint8_t* dst);
void EncodeDXT3(const uint8_t* src, int width, int height, uint8_t* dst);
void EncodeDXT5(const uint8_t* src, int width, int height, uint8_t* dst);
void EncodeBTC(const uint8_t* src, int width, int height, uint8_t* dst);
void EncodeATI1N(const uint8_t* src, int width, int height, uint8_t* dst);
void EncodeATI2N(const uint8_t* src, int width, int height, uint8_t* dst);

}  // namespace pixolan::imaging::blocks
