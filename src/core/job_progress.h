// What long engine work reports while it runs, and what it asks of the program
// around it. The desktop program's render monitor implements it with its labels,
// progress bar, memo and message boxes; tessaro-cli with a terminal display and
// answers taken from its options. Every call comes from the thread that runs the job.
#pragma once

#include <string>

namespace tessaro {

class IJobProgress {
 public:
  virtual ~IJobProgress() = default;

  virtual void SetStep(const std::string& text) { (void)text; }    // the step label
  virtual void SetDetail(const std::string& text) { (void)text; }  // the detail label
  virtual void SetPercent(int percent) { (void)percent; }           // 0..100
  virtual void Log(const std::string& line) { (void)line; }         // one line of the job's log
  // Lets pending window messages run, so the windows stay alive in long loops.
  virtual void ProcessMessages() {}

  // Yes/No question; only Yes (true) counts as consent.
  virtual bool Ask(const std::string& text, const std::string& caption) {
    (void)text;
    (void)caption;
    return false;
  }
  virtual void Message(const std::string& text, const std::string& caption) {
    (void)text;
    (void)caption;
  }

  // Requests to the windows around the job.
  virtual void RefreshView() {}
  virtual void SetScrollRanges(int width, int height) {
    (void)width;
    (void)height;
  }
  virtual void RefillCellPenList() {}
  virtual void ShowOverview() {}
  virtual void OpenFolder(const std::string& folder) { (void)folder; }

  // The render monitor around a job: shown with "Done" hidden and the log cleared
  // when the job starts; "Done" shown when it has finished.
  virtual void BeginJob() {}
  virtual void ShowDone() {}
  // A pause that lets the user see the state before the next question (the job's
  // "wait 1000 ms"). The desktop waits while processing messages; batch work and
  // tests do not wait at all, which is why the default does nothing.
  virtual void Pause(int milliseconds) { (void)milliseconds; }
};

// Reports nothing and answers every question No: for tests and batch work.
class TSilentProgress final : public IJobProgress {};

}  // namespace tessaro
