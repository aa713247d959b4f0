// Action 11: render a text, size it, place it and blend it in.
#include "core/actions/Actions.h"

namespace pixolan::core::actions {

void Text(imaging::TImageData&, const TActionContext&) {}

}  // namespace pixolan::core::actions
