// The job's progress on standard error. On a terminal: one live status line (a bar,
// the percentage, the step and its detail) redrawn in place, with the job's log lines
// scrolling above it. Otherwise (a pipe or a file): plain lines only, the step names,
// every fifth of a step's progress and the log lines, so a log file stays readable.
// Every log line carries the seconds since the job display started, which is how a
// user (or a benchmark) sees where the time goes.
//
// Questions are never read from standard input: the answer is No, or Yes when the
// user said so on the command line; the question and its answer are printed.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "core/job_progress.h"

namespace tessaro::cli {

class TTerminalProgress final : public IJobProgress {
 public:
  // live: draw the status line (normally isatty(stream)).
  TTerminalProgress(std::FILE* stream, bool live, bool answerYes);
  // Decides live from the stream.
  TTerminalProgress(std::FILE* stream, bool answerYes);
  ~TTerminalProgress() override;

  void SetStep(const std::string& text) override;
  void SetDetail(const std::string& text) override;
  void SetPercent(int percent) override;
  void Log(const std::string& line) override;
  bool Ask(const std::string& text, const std::string& caption) override;
  void Message(const std::string& text, const std::string& caption) override;
  void OpenFolder(const std::string& folder) override;

  // A line of the program's own (an error, a note), printed like a log line but
  // without the time, with the status line out of the way.
  void Note(const std::string& line);
  // Removes the status line, so what follows starts on a clean line.
  void Finish();

 private:
  void PrintLine(const std::string& line);
  void DrawStatus(bool force);
  void ClearStatus();
  double Seconds() const;
  int Columns() const;

  std::FILE* out_;
  bool live_;
  bool yes_;
  std::string step_, detail_;
  int percent_ = 0;
  int plainFifth_ = 0;  // last fifth of progress printed in plain mode
  bool statusShown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace tessaro::cli
