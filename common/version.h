// The product's version, printed by every program's --version.
#pragma once

namespace tarn {

constexpr const char* kVersion = "1.1.0";

}  // namespace tarn
