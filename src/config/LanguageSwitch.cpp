#include "config/LanguageSwitch.h"

namespace pixolan::config {

void sprachealles(SettingsStore& store, TLanguage language) {
  const size_t preview = store.IndexOf("PBCH", "vor_okay");
  const bool previewOn = store.Entry(preview).Number != 0;
  if (previewOn) store.SetChecked(preview, false, TChangeSource::Program);
  lang::SetCurrentLanguage(language);
  store.SwitchLanguage(language);
  if (previewOn) store.SetChecked(preview, true, TChangeSource::Program);
}

}  // namespace pixolan::config
