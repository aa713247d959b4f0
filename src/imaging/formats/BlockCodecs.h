// Encoders and decoders of the 4x4 block formats DXT1, DXT3, DXT5, BTC, ATI1N and ATI2N.
#pragma once

#include <cstdint>

namespace pixolan::imaging::blocks {

// Every function works on a whole image whose width and height are multiples of 4.
// Decoded pixels are A8R8G8B8 (B, G, R, A bytes) for DXT1/3/5 and ATI2N, Gray8 for BTC and
// ATI1N; the encoders take the same layouts. Block data is stored row of blocks by row of
// blocks, each block little-endian as its published definition lays it out.
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
