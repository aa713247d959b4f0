#include "support/IconFiles.h"

#include "support/Bytes.h"

namespace pixolan::test {

std::vector<uint8_t> IconBitmapData(const TIconBitmapLayout& layout) {
  std::vector<uint8_t> data;
  Add32(data, 40);
  Add32(data, uint32_t(layout.Width));
  Add32(data, uint32_t(layout.Height * 2));
  Add16(data, 1);
  Add16(data, layout.Bits);
  for (int i = 0; i < 6; ++i) Add32(data, 0);  // compression .. important colors
  // The color table always has 2^bits entries: the header leaves its length to them.
  const size_t entries = layout.Bits <= 8 ? size_t(1) << layout.Bits : 0;
  for (size_t i = 0; i < entries; ++i) {
    const imaging::TPixel32 c = i < layout.Palette.size() ? layout.Palette[i] : imaging::TPixel32{};
    data.insert(data.end(), {c.B, c.G, c.R, 0});
  }
  const size_t xorStride = (size_t(layout.Width) * layout.Bits + 31) / 32 * 4;
  const size_t andStride = (size_t(layout.Width) + 31) / 32 * 4;
  for (int32_t y = layout.Height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(xorStride, 0);
    for (int32_t x = 0; x < layout.Width; ++x) {
      const uint32_t v = layout.Values[size_t(y) * size_t(layout.Width) + size_t(x)];
      if (layout.Bits <= 8) {
        const size_t bit = size_t(x) * layout.Bits;
        row[bit / 8] |= uint8_t(v << (8 - layout.Bits - bit % 8));
      } else {
        for (int c = 0; c < layout.Bits / 8; ++c)
          row[size_t(x) * layout.Bits / 8 + c] = uint8_t(v >> 8 * c);
      }
    }
    data.insert(data.end(), row.begin(), row.end());
  }
  for (int32_t y = layout.Height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(andStride, 0);
    for (int32_t x = 0; x < layout.Width && !layout.Mask.empty(); ++x)
      if (layout.Mask[size_t(y) * size_t(layout.Width) + size_t(x)])
        row[x / 8] |= uint8_t(0x80 >> x % 8);
    data.insert(data.end(), row.begin(), row.end());
  }
  return data;
}

TIconEntry IconEntryOf(const TIconBitmapLayout& layout) {
  return {uint8_t(layout.Width), uint8_t(layout.Height), 1, layout.Bits, IconBitmapData(layout)};
}

std::vector<uint8_t> IconFileBytes(uint16_t type, const std::vector<TIconEntry>& entries) {
  std::vector<uint8_t> file;
  Add16(file, 0);
  Add16(file, type);
  Add16(file, uint32_t(entries.size()));
  uint32_t offset = uint32_t(6 + 16 * entries.size());
  for (const TIconEntry& e : entries) {
    file.insert(file.end(), {e.Width, e.Height, 0, 0});
    Add16(file, e.PlanesOrHotSpotX);
    Add16(file, e.BitCountOrHotSpotY);
    Add32(file, uint32_t(e.Data.size()));
    Add32(file, offset);
    offset += uint32_t(e.Data.size());
  }
  for (const TIconEntry& e : entries) file.insert(file.end(), e.Data.begin(), e.Data.end());
  return file;
}

}  // namespace pixolan::test
