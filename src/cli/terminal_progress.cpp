#include "cli/terminal_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace tessaro::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 24;
}  // namespace

TTerminalProgress::TTerminalProgress(std::FILE* stream, bool live, bool answerYes)
    : out_(stream), live_(live), yes_(answerYes), start_(std::chrono::steady_clock::now()) {}

TTerminalProgress::TTerminalProgress(std::FILE* stream, bool answerYes)
    : TTerminalProgress(stream, ::isatty(::fileno(stream)) == 1, answerYes) {}

TTerminalProgress::~TTerminalProgress() { Finish(); }

double TTerminalProgress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

int TTerminalProgress::Columns() const {
  winsize ws{};
  if (::ioctl(::fileno(out_), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

void TTerminalProgress::ClearStatus() {
  if (!statusShown_) return;
  std::fputs("\r\033[K", out_);
  statusShown_ = false;
}

void TTerminalProgress::DrawStatus(bool force) {
  if (!live_ || step_.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  const int filled = std::clamp(percent_, 0, 100) * kBarWidth / 100;
  std::string line = "[";  // appended: GCC 12 warns falsely on "[" + std::string
  line.append(std::size_t(filled), '#');
  line.append(std::size_t(kBarWidth - filled), '.');
  line += "] ";
  const std::string pct = std::to_string(std::clamp(percent_, 0, 100));
  line += std::string(3 - std::min<std::size_t>(3, pct.size()), ' ') + pct + "%  " + step_;
  if (!detail_.empty()) line += "  " + detail_;
  // One character short of the width, so the terminal never wraps the line.
  const std::size_t room = std::size_t(std::max(10, Columns() - 1));
  if (line.size() > room) line.resize(room);
  std::fputs("\r\033[K", out_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  statusShown_ = true;
}

void TTerminalProgress::PrintLine(const std::string& line) {
  ClearStatus();
  std::fputs(line.c_str(), out_);
  std::fputc('\n', out_);
  if (live_) DrawStatus(true);
  std::fflush(out_);
}

void TTerminalProgress::SetStep(const std::string& text) {
  if (text == step_) return;
  step_ = text;
  detail_.clear();
  plainFifth_ = 0;
  if (live_) {
    DrawStatus(true);
  } else {
    PrintLine("-- " + text);
  }
}

void TTerminalProgress::SetDetail(const std::string& text) {
  detail_ = text;
  DrawStatus(false);
}

void TTerminalProgress::SetPercent(int percent) {
  const bool changed = percent != percent_;
  percent_ = percent;
  if (live_) {
    if (changed) DrawStatus(false);
    return;
  }
  // Plain mode: one line at 20, 40, ... 100 %; going back to 0 starts over.
  const int fifth = std::clamp(percent, 0, 100) / 20;
  if (fifth > plainFifth_) {
    plainFifth_ = fifth;
    std::string line = "   " + step_ + " " + std::to_string(fifth * 20) + "%";
    if (!detail_.empty()) line += "  " + detail_;
    PrintLine(line);
  } else if (percent == 0) {
    plainFifth_ = 0;
  }
}

void TTerminalProgress::Log(const std::string& line) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%7.2fs] ", Seconds());
  PrintLine(stamp + line);
}

bool TTerminalProgress::Ask(const std::string& text, const std::string& caption) {
  PrintLine("? " + caption + ": " + text + " -> " + (yes_ ? "Yes (--yes)" : "No"));
  return yes_;
}

void TTerminalProgress::Message(const std::string& text, const std::string& caption) {
  PrintLine("! " + caption + ": " + text);
}

void TTerminalProgress::OpenFolder(const std::string& folder) {
  // No file browser is started from the command line; the folder is named instead.
  PrintLine("output folder: " + folder);
}

void TTerminalProgress::Note(const std::string& line) { PrintLine(line); }

void TTerminalProgress::Finish() {
  ClearStatus();
  std::fflush(out_);
}

}  // namespace tessaro::cli
