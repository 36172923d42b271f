#include "AvError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace snipwave::av {

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_make_error_string(text, sizeof text, code);
  return text;
}

int Check(int code, const std::string& operation, const std::string& path) {
  if (code < 0) throw Error::Failed(operation, path, ErrorText(code));
  return code;
}

}  // namespace snipwave::av
