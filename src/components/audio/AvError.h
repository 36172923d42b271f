#pragma once

#include <string>

#include "platform/Error.h"

namespace snipwave::av {

// The library's own text for an AVERROR code (av_make_error_string).
std::string ErrorText(int code);

// Throws snipwave::Error "<operation> "<path>": <library text>" when code < 0;
// returns code otherwise.
int Check(int code, const std::string& operation, const std::string& path);

// Throws when a libav allocation returned null.
template <typename T>
T* CheckAlloc(T* p, const std::string& operation, const std::string& path) {
  if (!p) throw Error::Failed(operation, path, "out of memory");
  return p;
}

}  // namespace snipwave::av
