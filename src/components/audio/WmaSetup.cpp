#include "OutputSetups.h"
#include "WmaProfiles.h"
#include "platform/Error.h"

namespace snipwave::audio {

EncoderSetup MakeWmaSetup(int profile, const std::string& path) {
  if (profile < 1 || profile > kWmaProfileCount) {
    throw Error::Failed("Cannot create", path,
                        "WMA profile " + std::to_string(profile) + " does not exist (profiles are numbered 1 to 47)");
  }
  const WmaProfile& p = WmaProfileByNumber(profile);
  if (!p.unsupportedReason.empty()) {
    throw Error::Failed("Cannot create", path,
                        "WMA profile " + std::to_string(p.number) + " \"" + std::string(p.text) + "\" is not supported: " +
                            p.unsupportedReason);
  }
  EncoderSetup setup;
  setup.container = "asf";
  setup.codec = "wmav2";
  setup.sampleRate = p.sampleRate;
  setup.channels = p.channels;
  setup.bitRate = static_cast<std::int64_t>(p.kbps) * 1000;
  setup.firstFrameDiscarded = true;
  setup.description = "WMA profile " + std::to_string(p.number) + " \"" + std::string(p.text) + "\"";
  return setup;
}

}  // namespace snipwave::audio
