// The computed lines beside the blur and sharpen radius boxes: the filter size the radii
// stand for, in the interface language.
#pragma once

#include <string>
#include <string_view>

#include "lang/Language.h"

namespace pixolan::config {

// "This equates to a Filter of A x B Pixels." with A = 2h+1 and B = 2v+1 for the
// horizontal radius h and the vertical radius v ("~" = the same as h); "Please correct
// your Values." when a radius is not a whole number of at least 0.
std::string BlurFilterHint(std::string_view horizontal, std::string_view vertical,
                           lang::TLanguage language);

// "Pixel (equates to NxN Pixel)" with N = 2r+1 for the radius r; the same correction
// request as the blur's when r is not a whole number of at least 0.
std::string SharpenRadiusHint(std::string_view radius, lang::TLanguage language);

}  // namespace pixolan::config
