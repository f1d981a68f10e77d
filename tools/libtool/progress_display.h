// The tool's progress on stderr. On a terminal one line is redrawn in place (at most
// ten times a second); otherwise (a log file, a pipe) plain lines are written at
// every tenth of the work, so a log stays short and reads the same on every run.
// Every call may come from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

namespace tessaro::libtool {

class TProgressDisplay {
 public:
  // live: redraw one line in place (stream is a terminal).
  TProgressDisplay(std::FILE* stream, bool live);
  ~TProgressDisplay();

  // Starts a counted step ("Reducing pictures", 120): shows 0 of total.
  void Begin(const std::string& step, std::size_t total);
  // One more unit of the current step done.
  void Advance();
  // Ends the step: its final count is shown once.
  void End();

  // A running count without a total ("Scanning", 1234 files): live only.
  void Count(const std::string& step, std::size_t count, const char* unit);

  // Removes the live line of Count, if shown.
  void Clear();

  // A message line of its own; the live line is cleared first and redrawn after.
  void Line(const std::string& text);

 private:
  void Show(bool force);  // mutex held
  void ClearLive();       // mutex held

  std::FILE* stream_;
  bool live_;
  std::mutex mutex_;
  std::string step_;
  std::size_t total_ = 0;
  std::size_t done_ = 0;
  int lastTenth_ = -1;
  bool lineShown_ = false;
  std::string liveText_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace tessaro::libtool
