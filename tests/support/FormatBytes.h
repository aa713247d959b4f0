// Images through a handler's stream entry points, from and to bytes in memory.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

#include "imaging/io/FileFormat.h"

namespace pixolan::test {

// Engine option values (id, value) in force for one call; the previous values come back
// afterwards.
using TOptionValues = std::initializer_list<std::pair<int32_t, int32_t>>;

// Exactly one image, loaded with onlyFirst; throws when the handler returns false.
imaging::TImageData LoadBytes(imaging::TImageFileFormat& handler, std::span<const uint8_t> bytes);
// Every image (or only the first); throws when the handler returns false.
imaging::TDynImageDataArray LoadAllBytes(imaging::TImageFileFormat& handler,
                                         std::span<const uint8_t> bytes, bool onlyFirst = false);

// Throws when the handler returns false or an option id is not bound.
std::vector<uint8_t> SaveBytes(imaging::TImageFileFormat& handler, imaging::TImageSpan images,
                               TOptionValues options = {}, bool onlyFirst = false);
std::vector<uint8_t> SaveBytes(imaging::TImageFileFormat& handler, const imaging::TImageData& image,
                               TOptionValues options = {});

// Whether the handler's content test accepts the bytes. The test must leave the position
// where it found it, as detection tries one handler after another on the same stream.
bool ContentAccepted(imaging::TImageFileFormat& handler, std::span<const uint8_t> bytes);

}  // namespace pixolan::test
