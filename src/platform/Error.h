#pragma once

#include <stdexcept>
#include <string>

namespace snipwave {

// The one exception type of the program. Its what() is the text the user sees
// in the "Information" box of the application's exception hook, so it must be
// a complete sentence: what failed, on which path, and the library's reason.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}

  // "<operation> \"<path>\": <reason>" — the form every library failure takes.
  static Error Failed(const std::string& operation, const std::string& path, const std::string& reason) {
    std::string text = operation;
    if (!path.empty()) text += " \"" + path + "\"";
    if (!reason.empty()) text += ": " + reason;
    return Error(text);
  }
};

}  // namespace snipwave
