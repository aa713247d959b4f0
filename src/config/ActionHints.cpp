#include "config/ActionHints.h"

#include <cstdint>
#include <optional>

#include "core/ValueText.h"

namespace pixolan::config {

namespace {

using lang::InLanguage;

// The side of the filter a radius box stands for: 2r+1, in 64 bits so that the largest
// radius cannot overflow. None for a text that is no radius.
std::optional<int64_t> FilterSide(std::string_view radius) {
  const std::optional<int32_t> value = core::ParseIntegerText(radius);
  if (!value || *value < 0) return std::nullopt;
  return 2 * int64_t(*value) + 1;
}

std::string CorrectionRequest(lang::TLanguage language) {
  return std::string(
      InLanguage(language, "Bitte überprüfen Sie Ihre Eingabe.", "Please correct your Values."));
}

}  // namespace

std::string BlurFilterHint(std::string_view horizontal, std::string_view vertical,
                           lang::TLanguage language) {
  const std::optional<int64_t> across = FilterSide(horizontal);
  const std::optional<int64_t> down = vertical == "~" ? across : FilterSide(vertical);
  if (!across || !down) return CorrectionRequest(language);
  std::string hint(
      InLanguage(language, "Dies entspricht einem Filter von ", "This equates to a Filter of "));
  hint += std::to_string(*across);
  hint += " x ";
  hint += std::to_string(*down);
  hint += InLanguage(language, " Pixeln.", " Pixels.");
  return hint;
}

std::string SharpenRadiusHint(std::string_view radius, lang::TLanguage language) {
  const std::optional<int64_t> side = FilterSide(radius);
  if (!side) return CorrectionRequest(language);
  const std::string n = std::to_string(*side);
  std::string hint(InLanguage(language, "Pixel (entspricht ", "Pixel (equates to "));
  hint += n;
  hint += "x";
  hint += n;
  hint += InLanguage(language, " Pixel)", " Pixel)");
  return hint;
}

}  // namespace pixolan::config
