#include "core/Pipeline.h"

#include <array>
#include <cmath>
#include <exception>

#include "core/actions/Actions.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::core {

using imaging::TImageData;

namespace {

using TAction = void (*)(TImageData&, const actions::TActionContext&);

struct TStep {
  ActionId Id;
  TAction Run;
};

// The fixed sequence in which each step tests the actions.
constexpr std::array<TStep, kActionCount> kSequence{{
    {ActionId::Resize, actions::Resize},
    {ActionId::RotateMirror, actions::RotateMirror},
    {ActionId::Color, actions::Color},
    {ActionId::ContrastBrightnessSaturation, actions::ContrastBrightnessSaturation},
    {ActionId::Blur, actions::Blur},
    {ActionId::Sharpen, actions::Sharpen},
    {ActionId::Crop, actions::Crop},
    {ActionId::Frame, actions::Frame},
    {ActionId::ColorChannels, actions::ColorChannels},
    {ActionId::Watermark, actions::Watermark},
    {ActionId::Text, actions::Text},
}};

bool Runs(const ConversionSettings& settings, ActionId id) {
  if (!settings.IsEnabled(id)) return false;
  if (id == ActionId::Watermark) return !settings.WatermarkPath.empty();
  if (id == ActionId::Text) return !settings.Text.empty();
  return true;
}

}  // namespace

bool Konvertieren(const TImageData& image, const std::string& sourcePath, TImageData& result,
                  long double scale, const ConversionSettings& settings, TMessageSink& messages) {
  try {
    // Every scaled distance would be meaningless; this is the caller's mistake, reported
    // like a failing action rather than drawn wrongly.
    if (!(scale > 0.0L) || !std::isfinite(scale))
      imaging::RaiseImaging("The scale factor must be a positive number.");
    TImageData working;
    imaging::ImageClone(image, working);
    const actions::TActionContext context{settings, scale, sourcePath, &messages};
    for (int step = 0; step < kActionCount; ++step)
      for (const TStep& action : kSequence)
        if (settings.StepOf(action.Id) == step && Runs(settings, action.Id))
          action.Run(working, context);
    result = std::move(working);
    return true;
  } catch (const std::exception&) {
    // The working copy is gone by now, so the copy of the input is the only extra image.
  }
  messages.ShowMessage("konvertierfehler", sourcePath);
  try {
    TImageData unchanged;
    imaging::ImageClone(image, unchanged);
    result = std::move(unchanged);
  } catch (const std::exception&) {
    imaging::ImageFree(result);
  }
  return false;
}

}  // namespace pixolan::core
