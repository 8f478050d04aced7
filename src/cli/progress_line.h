#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// How far a long batch is, on a terminal's standard error: one line, drawn
// once the run has been busy for a second and redrawn at most ten times a
// second, rewritten in place with a carriage return and spaces (which every
// terminal and console takes, where escape sequences are not everywhere).
// Whoever writes to standard error, or to a standard output that is a
// terminal too, erases it first; scripts and logs never see it.
class progress_line {
 public:
  // `enabled`: standard error is a terminal and the run wants the line.
  // `at_once`: --progress, which does not wait for the first second.
  void start(const char* program, std::size_t total, bool enabled, bool at_once = false);
  void done_one(bool failed);
  // Before any other output, and at the end; nothing when nothing is shown.
  void erase();

 private:
  using clock = std::chrono::steady_clock;
  bool enabled_ = false;
  bool at_once_ = false;
  std::string program_;
  std::size_t total_ = 0, done_ = 0, failed_ = 0;
  std::size_t shown_ = 0;  // the length of the line on the screen
  clock::time_point started_, drawn_;
};

// The programs' one line: the output layer erases it before it writes.
progress_line& run_progress();

// --progress and --no-progress, the last given holding.
enum class progress_choice { automatic, forced, off };

// Starts the run's line for a batch of `total` maps, on a terminal only, and
// has the output layer erase it before every other write to standard error,
// and to standard output where that is the same terminal.
void start_run_progress(const char* program, std::size_t total, progress_choice choice);

// Whether stream 1 or 2 is a terminal (on Windows a console).
bool stream_is_terminal(int stream);
