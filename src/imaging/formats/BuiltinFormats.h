// The table of the engine's own file format handlers.
#pragma once

#include <memory>
#include <span>
#include <typeindex>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Registry.h"

namespace pixolan::imaging {

struct TBuiltinFormat {
  std::type_index Type;
  detail::THandlerFactory Create;
};

// The built-in handlers in registry order. The registry creates them from this table on
// its first use; nothing else registers them.
std::span<const TBuiltinFormat> BuiltinFormats();

}  // namespace pixolan::imaging
