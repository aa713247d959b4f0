#include "core/RunSettings.h"

#include "imaging/io/Options.h"

namespace pixolan::core {

void ApplySaveSettings(const TSaveSettings& save) {
  using namespace imaging;
  const int32_t progressive = save.Progressive ? 1 : 0;
  EngineSetOption(kOptionJpegQuality, save.Quality);
  EngineSetOption(kOptionJngQuality, save.Quality);
  EngineSetOption(kOptionMngQuality, save.Quality);
  EngineSetOption(kOptionJpegProgressive, progressive);
  EngineSetOption(kOptionJngProgressive, progressive);
  EngineSetOption(kOptionMngProgressive, progressive);
  EngineSetOption(kOptionPsdSaveAsLayer, save.PsdLayers ? 1 : 0);
}

}  // namespace pixolan::core
