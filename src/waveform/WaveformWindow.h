#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace snipwave {

// Which frames of a file a view of `width` pixels shows: frame = first +
// x * framesPerPixel. Starts on the whole file; zooms around a pixel, pans,
// and always stays inside the file. Down to kMinFramesPerPixel, where one
// sample spans several pixels.
class WaveformWindow {
 public:
  static constexpr double kMinFramesPerPixel = 1.0 / 16;

  void Reset(std::int64_t totalFrames, int width) {
    total_ = std::max<std::int64_t>(totalFrames, 1);
    width_ = std::max(width, 1);
    first_ = 0;
    framesPerPixel_ = static_cast<double>(total_) / width_;
  }
  void Resize(int width) {
    width_ = std::max(width, 1);
    framesPerPixel_ = std::min(framesPerPixel_, MaxFramesPerPixel());
    Clamp();
  }

  double First() const { return first_; }
  double FramesPerPixel() const { return framesPerPixel_; }
  double MaxFramesPerPixel() const { return static_cast<double>(total_) / width_; }
  bool WholeFile() const { return framesPerPixel_ >= MaxFramesPerPixel(); }

  double FrameAt(double x) const { return first_ + x * framesPerPixel_; }
  double XOf(double frame) const { return (frame - first_) / framesPerPixel_; }
  // The frame under pixel x, inside the file.
  std::int64_t SampleAt(double x) const {
    return std::clamp<std::int64_t>(std::llround(FrameAt(x)), 0, total_);
  }

  // factor > 1 zooms in; the frame under `x` stays under it.
  void Zoom(double factor, double x) {
    const double anchor = FrameAt(x);
    framesPerPixel_ = std::clamp(framesPerPixel_ / factor, kMinFramesPerPixel, MaxFramesPerPixel());
    first_ = anchor - x * framesPerPixel_;
    Clamp();
  }
  void PanPixels(double pixels) {
    first_ += pixels * framesPerPixel_;
    Clamp();
  }
  // Brings a frame into view (centred) when it lies outside.
  void Reveal(double frame) {
    if (frame >= first_ && frame <= FrameAt(width_)) return;
    Centre(frame);
  }
  void Centre(double frame) {
    first_ = frame - width_ * framesPerPixel_ / 2;
    Clamp();
  }
  // Frames `from` to `to` fill the width exactly: pixel 0 shows `from`, pixel
  // `width` shows `to`. A span shorter than the finest zoom allows is shown
  // centred at that zoom; an empty one is centred at the present zoom.
  void Show(double from, double to) {
    if (to > from) framesPerPixel_ = std::clamp((to - from) / width_, kMinFramesPerPixel, MaxFramesPerPixel());
    first_ = from - (width_ * framesPerPixel_ - (to - from)) / 2;
    Clamp();
  }
  // While playing, page by page: when `frame` leaves the view, the next page
  // starts at it. True when the view moved.
  bool Page(double frame) {
    if (frame >= first_ && frame < FrameAt(width_)) return false;
    const double before = first_;
    first_ = frame;
    Clamp();
    return first_ != before;
  }

 private:
  void Clamp() { first_ = std::clamp(first_, 0.0, std::max(0.0, total_ - width_ * framesPerPixel_)); }

  std::int64_t total_ = 1;
  int width_ = 1;
  double first_ = 0;
  double framesPerPixel_ = 1;
};

}  // namespace snipwave
