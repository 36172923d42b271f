#include "WmaProfiles.h"

#include <array>
#include <cstdlib>

#include "platform/Error.h"

namespace snipwave::audio {

namespace {

// The number right before `unit` in `text`, 0 when absent.
int NumberBefore(std::string_view text, std::string_view unit) {
  const std::size_t at = text.find(unit);
  if (at == std::string_view::npos) return 0;
  std::size_t begin = at;
  while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9') --begin;
  return std::atoi(std::string(text.substr(begin, at - begin)).c_str());
}

int RateFromKhz(int khz) {
  switch (khz) {
    case 44: return 44100;
    case 22: return 22050;
    case 11: return 11025;
    default: return khz * 1000;
  }
}

// The wmav2 encoder: constant bit rate only, at least 24 kbit/s, 8-48 kHz.
constexpr int kMinWmaKbps = 24;
constexpr int kMinWmaRate = 8000;
constexpr int kMaxWmaRate = 48000;

WmaProfile Parse(int number, std::string_view text) {
  WmaProfile p;
  p.number = number;
  p.text = text;
  p.sampleRate = RateFromKhz(NumberBefore(text, "KHz"));
  p.channels = text.find("Mono") != std::string_view::npos ? 1 : 2;
  p.kbps = NumberBefore(text, "Kbps");
  p.vbrQuality = text.find("VBR Quality") != std::string_view::npos;
  p.lossless = text.find("Lossless") != std::string_view::npos;
  if (p.lossless) {
    p.unsupportedReason = "lossless WMA cannot be written by this encoder";
  } else if (p.vbrQuality) {
    p.unsupportedReason = "quality-based variable bit rate WMA cannot be written by this encoder (constant bit rate only)";
  } else if (p.kbps < kMinWmaKbps) {
    p.unsupportedReason = "the WMA encoder needs at least 24 kbit/s";
  } else if (p.sampleRate < kMinWmaRate || p.sampleRate > kMaxWmaRate) {
    p.unsupportedReason = "the WMA encoder takes 8000 to 48000 Hz only";
  }
  return p;
}

const std::array<WmaProfile, kWmaProfileCount>& Profiles() {
  static const auto profiles = [] {
    std::array<WmaProfile, kWmaProfileCount> all;
    for (int i = 0; i < kWmaProfileCount; ++i) all[i] = Parse(i + 1, kWmaProfileTexts[i]);
    return all;
  }();
  return profiles;
}

}  // namespace

const WmaProfile& WmaProfileByNumber(int number) {
  if (number < 1 || number > kWmaProfileCount) {
    throw Error("WMA profile " + std::to_string(number) + " does not exist (profiles are numbered 1 to 47)");
  }
  return Profiles()[static_cast<std::size_t>(number - 1)];
}

}  // namespace snipwave::audio
