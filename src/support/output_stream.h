#pragma once

#include <cstddef>
#include <string_view>

// Standard output, buffered: what the programs print reaches the stream in
// blocks, at the points they choose (flush) or whenever the buffer is full,
// instead of one system call a line. The first failed write is remembered
// and everything after it dropped, so that the run can say once, at its end,
// that its report was lost.
class output_stream {
 public:
  void write(std::string_view text) {
    if (text.size() <= sizeof buffer_ - used_) {
      text.copy(buffer_ + used_, text.size());
      used_ += text.size();
    } else {
      write_through(text);
    }
  }
  void put(char c) {
    if (used_ == sizeof buffer_) flush();
    buffer_[used_++] = c;
  }
  void flush();
  // Sends what follows to standard error (2) instead, for a run whose
  // standard output carries data.
  void use_stream(int stream) {
    flush();
    stream_ = stream;
  }
  // 0, or the error number of the first write that failed.
  int error() const { return error_; }

 private:
  void write_through(std::string_view text);
  void send(const char* bytes, std::size_t length);

  char buffer_[64 << 10];
  std::size_t used_ = 0;
  int error_ = 0;
  int stream_ = 1;
};

output_stream& standard_output();

// Called with the stream (1 or 2) before anything is written to it, so that
// a line drawn in place on a terminal can be erased first; null: nothing.
void set_before_standard_write(void (*before)(int stream));

// Flushes standard output, so that the order of the lines is kept, then
// writes `line` and a newline to standard error.
void print_error_line(std::string_view line);
