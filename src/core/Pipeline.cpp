#include "core/Pipeline.h"

#include <array>
#include <cmath>
#include <exception>
#include <vector>

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

// The actions that run, in their order.
std::vector<const TStep*> Plan(const ConversionSettings& settings) {
  std::vector<const TStep*> plan;
  for (int step = 0; step < kActionCount; ++step)
    for (const TStep& action : kSequence)
      if (settings.StepOf(action.Id) == step && Runs(settings, action.Id)) plan.push_back(&action);
  return plan;
}

void CheckScale(long double scale) {
  // Every scaled distance would be meaningless; this is the caller's mistake, reported
  // like a failing action rather than drawn wrongly.
  if (!(scale > 0.0L) || !std::isfinite(scale))
    imaging::RaiseImaging("The scale factor must be a positive number.");
}

}  // namespace

bool Konvertieren(TImageData& image, const std::string& sourcePath, long double scale,
                  const ConversionSettings& settings, TMessageSink& messages) {
  try {
    CheckScale(scale);
    const std::vector<const TStep*> plan = Plan(settings);
    if (plan.empty()) return true;
    const actions::TActionContext context{settings, scale, sourcePath, &messages};
    // A leading resize only reads the input, so it needs no working copy of it.
    TImageData working;
    auto next = plan.begin();
    if ((*next)->Id == ActionId::Resize && actions::ResizeInto(image, working, context))
      ++next;
    else
      imaging::ImageClone(image, working);
    for (; next != plan.end(); ++next) (*next)->Run(working, context);
    image = std::move(working);
    return true;
  } catch (const std::exception&) {
    // The input was only read; it stays the result.
  }
  messages.ShowMessage("konvertierfehler", sourcePath);
  return false;
}

bool Konvertieren(const TImageData& image, const std::string& sourcePath, TImageData& result,
                  long double scale, const ConversionSettings& settings, TMessageSink& messages) {
  try {
    CheckScale(scale);
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
