#pragma once

#include <string>
#include <utility>

// The outcome of an operation that can fail for a reason worth telling the
// user. Only the top level prints the reason.
// The failures a caller acts on, beyond telling them.
enum class failure_code { other, edit_in_progress, empty_file, temp_folder };

class status {
 public:
  static status ok() { return status(); }
  static status failure(std::string why) { return status(std::move(why)); }
  // A failure the system reported: errno on POSIX, GetLastError() on Windows.
  static status failure(std::string why, int system_error) {
    status s(std::move(why));
    s.system_error_ = system_error;
    return s;
  }

  static status failure(std::string why, failure_code code) {
    status s(std::move(why));
    s.code_ = code;
    return s;
  }

  static status failure(std::string why, int system_error, failure_code code) {
    status s(std::move(why));
    s.system_error_ = system_error;
    s.code_ = code;
    return s;
  }

  bool is_ok() const { return !failed_; }
  failure_code code() const { return code_; }
  const std::string& why() const { return why_; }
  // The system's error number, 0 when the system did not report one.
  int system_error() const { return system_error_; }

 private:
  status() = default;
  explicit status(std::string why) : failed_(true), why_(std::move(why)) {}

  bool failed_ = false;
  std::string why_;
  int system_error_ = 0;
  failure_code code_ = failure_code::other;
};
