#pragma once

#include <gmock/gmock.h>

#include <map>
#include <set>
#include <string>

#include "AudioMocks.h"
#include "components/audio/AudioInterfaces.h"
#include "platform/Error.h"

namespace snipwave::test {


// A mock that acts like a reader of a few known files: OpenFile of a path it
// knows opens it, any other path throws like the real reader; DurationMs and
// LengthSamples answer for the open file. Paths in `failDuration` open but
// then fail on DurationMs, leaving the reader open.
class ScriptedReader : public ::testing::NiceMock<MockAudioFile2> {
 public:
  struct Facts {
    int durationMs = 0;
    std::int64_t lengthSamples = 0;
  };
  std::map<std::string, Facts> known;
  std::set<std::string> failDuration;
  std::string openPath;  // empty when closed
  std::vector<std::string> opened;

  ScriptedReader() {
    using ::testing::_;
    ON_CALL(*this, IsOpen()).WillByDefault([this] { return !openPath.empty(); });
    ON_CALL(*this, CloseFile()).WillByDefault([this] { openPath.clear(); });
    ON_CALL(*this, OpenFile(_, _, _)).WillByDefault([this](const std::string& path, int, int) {
      if (!openPath.empty()) throw Error("OpenFile: a file is already open");
      opened.push_back(path);
      if (!known.count(path) && !failDuration.count(path))
        throw Error::Failed("Open audio file", path, "Invalid data found when processing input");
      openPath = path;
    });
    ON_CALL(*this, DurationMs()).WillByDefault([this] {
      if (failDuration.count(openPath)) throw Error::Failed("Read duration", openPath, "broken header");
      return known.at(openPath).durationMs;
    });
    ON_CALL(*this, LengthSamples()).WillByDefault([this] { return known.at(openPath).lengthSamples; });
  }
};

}  // namespace snipwave::test
