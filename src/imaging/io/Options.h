// The engine's option registry: integer settings addressed by id, such as JPEG quality.
//
// Handlers bind their option fields to ids in their constructors; the program sets values
// before a run. Values are process-wide and stay in force until set again. They live in
// std::atomic variables so that concurrent loads and saves may read them while a caller
// changes one; the registry itself is guarded, so binding and lookups may run anywhere.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

// EngineGetOption's answer for an id that is not bound.
inline constexpr int32_t OptionInvalid = -2147483647;

// Ids the handlers bind; an id whose handler this build lacks stays unbound.
inline constexpr int32_t kOptionJpegQuality = 10;      // 1..100, anything else becomes 90
inline constexpr int32_t kOptionJpegProgressive = 11;  // bool
inline constexpr int32_t kOptionBitmapRLE = 12;        // bool, default on
inline constexpr int32_t kOptionTargaRLE = 13;         // bool, default off
// DirectDraw surfaces: what the last load found, and what the next save writes. Cube map
// and volume exclude each other (cube map wins); counts below 1 become 1.
inline constexpr int32_t kOptionDdsLoadedCubeMap = 14;
inline constexpr int32_t kOptionDdsLoadedVolume = 15;
inline constexpr int32_t kOptionDdsLoadedMipMapCount = 16;
inline constexpr int32_t kOptionDdsLoadedDepth = 17;
inline constexpr int32_t kOptionDdsSaveCubeMap = 18;
inline constexpr int32_t kOptionDdsSaveVolume = 19;
inline constexpr int32_t kOptionDdsSaveMipMapCount = 20;
inline constexpr int32_t kOptionDdsSaveDepth = 21;
inline constexpr int32_t kOptionPngPreFilter = 25;         // 0..6, else 5
inline constexpr int32_t kOptionPngCompressLevel = 26;     // 0..9, else 5
inline constexpr int32_t kOptionMngLossyCompression = 28;  // bool
inline constexpr int32_t kOptionMngLossyAlpha = 29;        // bool
inline constexpr int32_t kOptionMngPreFilter = 30;         // as PNG
inline constexpr int32_t kOptionMngCompressLevel = 31;     // as PNG
inline constexpr int32_t kOptionMngQuality = 32;           // as JPEG quality
inline constexpr int32_t kOptionMngProgressive = 33;       // bool
inline constexpr int32_t kOptionJngLossyAlpha = 40;        // bool
inline constexpr int32_t kOptionJngPreFilter = 41;         // as PNG
inline constexpr int32_t kOptionJngCompressLevel = 42;     // as PNG
inline constexpr int32_t kOptionJngQuality = 43;           // as JPEG quality
inline constexpr int32_t kOptionJngProgressive = 44;       // bool
inline constexpr int32_t kOptionPgmSaveBinary = 50;        // bool, default on
inline constexpr int32_t kOptionPpmSaveBinary = 51;        // bool, default on
inline constexpr int32_t kOptionJpeg2000Quality = 55;      // 1..100, else 80
// Also asked for by GIF's LoadAnimated, which registers later and so keeps its default.
inline constexpr int32_t kOptionJpeg2000CodeStreamOnly = 56;       // bool
inline constexpr int32_t kOptionJpeg2000LosslessCompression = 57;  // bool
inline constexpr int32_t kOptionTiffCompressionIndex = 65;         // 0..4, above 4 becomes 1 (LZW)
inline constexpr int32_t kOptionPsdSaveAsLayer = 70;               // bool, default on

// Ids the engine binds itself.
inline constexpr int32_t kOptionColorReductionMask = 128;  // clamped to 0..255, default 255
inline constexpr int32_t kOptionLoadOverrideFormat = 129;  // format every loaded image gets
inline constexpr int32_t kOptionSaveOverrideFormat = 130;  // format every saved image gets

// Ids above this are refused: the slot array grows to id + 256, and an absurd id must not
// exhaust memory.
inline constexpr int32_t kMaxOptionId = 65535;

// Depth of the option stack of EnginePushOptions.
inline constexpr int kOptionStackDepth = 8;

// Binds a variable to an id. False for a negative or too large id or a null variable, and
// when the id is already bound: the first binding stays. The variable must outlive the
// binding (see UnregisterEngineOption).
bool RegisterEngineOption(int32_t id, std::atomic<int32_t>* variable);
// Removes the binding of id when it points at variable; owners call it before the
// variable goes away. Returns whether a binding was removed.
bool UnregisterEngineOption(int32_t id, const std::atomic<int32_t>* variable);

// Stores a value after the per-id adjustment (128 clamped to 0..255; 129 and 130 become 0
// for an id without format descriptor; others unchanged, their handlers correct them
// before use). False for an id that is not bound.
bool EngineSetOption(int32_t id, int32_t value);
// The value of a bound id, or OptionInvalid.
int32_t EngineGetOption(int32_t id);

// Saves the values of all bound ids; false when kOptionStackDepth sets are already saved.
bool EnginePushOptions();
// Writes the last saved set back to the ids that are still bound and drops it; false when
// nothing is saved.
bool EnginePopOptions();

// The engine's own options, read directly by the conversion and load/save code.
uint8_t ColorReductionMask();
// Unknown when no conversion is asked for.
TImageFormatId LoadOverrideFormat();
TImageFormatId SaveOverrideFormat();

// Makes sure the option registry exists before the caller's own statics, so that it
// outlives them (handlers unbind their options when the handler registry is torn down).
void EnsureOptionRegistry();

}  // namespace pixolan::imaging
