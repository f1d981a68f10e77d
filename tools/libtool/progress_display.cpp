#include "progress_display.h"

namespace tessaro::libtool {

namespace {
constexpr auto kRedrawPeriod = std::chrono::milliseconds(100);
}

TProgressDisplay::TProgressDisplay(std::FILE* stream, bool live) : stream_(stream), live_(live) {}

TProgressDisplay::~TProgressDisplay() {
  std::lock_guard lock(mutex_);
  ClearLive();
}

void TProgressDisplay::Begin(const std::string& step, std::size_t total) {
  std::lock_guard lock(mutex_);
  step_ = step;
  total_ = total;
  done_ = 0;
  lastTenth_ = -1;
  Show(true);
}

void TProgressDisplay::Advance() {
  std::lock_guard lock(mutex_);
  if (done_ < total_) ++done_;
  Show(false);
}

void TProgressDisplay::End() {
  std::lock_guard lock(mutex_);
  done_ = total_;
  Show(true);
  if (live_ && lineShown_) {  // the finished step's line stays on the terminal
    std::fputc('\n', stream_);
    std::fflush(stream_);
    lineShown_ = false;
  }
}

void TProgressDisplay::Count(const std::string& step, std::size_t count, const char* unit) {
  if (!live_) return;
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (lineShown_ && now - lastDraw_ < kRedrawPeriod) return;
  lastDraw_ = now;
  liveText_ = step + ": " + std::to_string(count) + " " + unit;
  std::fprintf(stream_, "\r\033[K%s", liveText_.c_str());
  std::fflush(stream_);
  lineShown_ = true;
}

void TProgressDisplay::Clear() {
  std::lock_guard lock(mutex_);
  ClearLive();
}

void TProgressDisplay::Line(const std::string& text) {
  std::lock_guard lock(mutex_);
  const bool redraw = lineShown_;
  ClearLive();
  std::fprintf(stream_, "%s\n", text.c_str());
  if (redraw && live_) {
    std::fprintf(stream_, "%s", liveText_.c_str());
    lineShown_ = true;
  }
  std::fflush(stream_);
}

void TProgressDisplay::Show(bool force) {
  const int percent = total_ == 0 ? 100 : int(done_ * 100 / total_);
  const std::string text = step_ + ": " + std::to_string(done_) + " of " +
                           std::to_string(total_) + " (" + std::to_string(percent) + "%)";
  if (live_) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && lineShown_ && now - lastDraw_ < kRedrawPeriod) return;
    lastDraw_ = now;
    liveText_ = text;
    std::fprintf(stream_, "\r\033[K%s", text.c_str());
    lineShown_ = true;
  } else {
    // Tenths of the work, each written once; the start and the end always show.
    const int tenth = total_ == 0 ? 10 : int(done_ * 10 / total_);
    if (tenth == lastTenth_) return;
    lastTenth_ = tenth;
    std::fprintf(stream_, "%s\n", text.c_str());
  }
  std::fflush(stream_);
}

void TProgressDisplay::ClearLive() {
  if (!lineShown_) return;
  std::fprintf(stream_, "\r\033[K");
  std::fflush(stream_);
  lineShown_ = false;
}

}  // namespace tessaro::libtool
