#include "input/FormatFilter.h"

#include "config/StoreDefinition.h"

namespace pixolan::input {

namespace {

constexpr std::string_view kAllFormats[] = {
    ".bmp", ".dib", ".jpg", ".jpeg", ".cur", ".jfif", ".jpe", ".jif", ".png", ".mng", ".jng",
    ".gif", ".dds", ".tga", ".pbm",  ".pgm", ".ppm",  ".pam", ".pfm", ".jp2", ".j2k", ".j2c",
    ".jpx", ".jpc", ".tif", ".tiff", ".psd", ".pdd",  ".pcx", ".xpm", ".ico",
};

constexpr std::string_view kSelectable[] = {
    "bmp", "jpg", "dib",  "jpeg", "jfif", "jpe", "jif", "png", "mng", "jng", "gif",
    "ico", "tif", "tiff", "psd",  "pdd",  "cur", "jp2", "j2k", "j2c", "jpx", "jpc",
    "pbm", "pgm", "ppm",  "pam",  "pfm",  "dds", "tga", "pcx", "xpm",
};

}  // namespace

std::span<const std::string_view> AllFormatExtensions() {
  return kAllFormats;
}

std::span<const std::string_view> SelectableFormatBoxes() {
  return kSelectable;
}

bool FormatBoxEnabled(const config::SettingsStore& store, std::string_view box) {
  if (!store.Checked("PFRB", "auswahl")) return false;
  for (const config::definition::TFamily& family : config::definition::FormatFamilies())
    for (const std::string_view member : family.Members)
      if (member == box) return store.Checked("PFCH", family.Box);
  return true;
}

TScanSettings ScanSettingsOf(const config::SettingsStore& store) {
  TScanSettings settings;
  if (store.Checked("PFRB", "alle")) {
    for (const std::string_view ext : kAllFormats) settings.Extensions.emplace_back(ext);
  } else {
    for (const std::string_view box : kSelectable)
      if (store.Checked("PFCH", box)) settings.Extensions.emplace_back(".").append(box);
  }
  settings.Recursive = store.Checked("PBCH", "inp_uv");
  return settings;
}

}  // namespace pixolan::input
