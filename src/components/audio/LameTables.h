#pragma once

#include <shared_mutex>

namespace snipwave::audio {

// libmp3lame keeps process-wide tables (quantizer powers, logarithms) that
// every lame_init / lame_init_params fills again while other encoders may be
// reading them. Setting an encoder up therefore holds this lock exclusively;
// encoding calls hold it shared and run side by side.
inline std::shared_mutex& LameTables() {
  static std::shared_mutex tables;
  return tables;
}

}  // namespace snipwave::audio
