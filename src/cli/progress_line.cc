#include "cli/progress_line.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "support/console.h"
#include "support/format_line.h"
#include "support/output_stream.h"

void progress_line::start(const char* program, std::size_t total, bool enabled, bool at_once) {
  enabled_ = enabled && total > 1;
  at_once_ = at_once;
  program_ = program;
  total_ = total;
  done_ = failed_ = 0;
  started_ = drawn_ = clock::now();
}

void progress_line::done_one(bool failed) {
  ++done_;
  if (failed) ++failed_;
  if (!enabled_ || done_ >= total_) return;
  const clock::time_point now = clock::now();
  if ((!at_once_ && now - started_ < std::chrono::seconds(1)) || (shown_ > 0 && now - drawn_ < std::chrono::milliseconds(100))) return;
  drawn_ = now;
  std::string line = format_line("\r%s: %llu of %llu maps", program_.c_str(), static_cast<unsigned long long>(done_),
                                 static_cast<unsigned long long>(total_));
  if (failed_ > 0) line += format_line(", %llu failed", static_cast<unsigned long long>(failed_));
  const std::size_t length = line.size() - 1;
  if (length < shown_) line.append(shown_ - length, ' ');
  shown_ = length;
  console_write(2, line.data(), line.size());
}

void progress_line::erase() {
  if (shown_ == 0) return;
  std::string blank(shown_ + 2, ' ');
  blank.front() = blank.back() = '\r';
  shown_ = 0;
  console_write(2, blank.data(), blank.size());
}

progress_line& run_progress() {
  static progress_line line;
  return line;
}

namespace {

bool output_is_terminal = false;

void erase_before(int stream) {
  if (stream == 2 || output_is_terminal) run_progress().erase();
}

}  // namespace

void start_run_progress(const char* program, std::size_t total, progress_choice choice) {
  const bool enabled = choice != progress_choice::off && stream_is_terminal(2);
  output_is_terminal = stream_is_terminal(1);
  if (enabled) set_before_standard_write(erase_before);
  run_progress().start(program, total, enabled, choice == progress_choice::forced);
}

bool stream_is_terminal(int stream) {
#ifdef _WIN32
  // _isatty holds the NUL device for a terminal too.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), &mode) != 0;
#else
  return isatty(stream) != 0;
#endif
}
