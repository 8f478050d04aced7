#pragma once

#include <string>
#include <utility>

#include "support/error_list.h"

// What failed, as the list names it (support/error_list.h).
enum class error_code {
#define MAPGRAFT_ERROR_ID(name, public_code, text) name,
  MAPGRAFT_PUBLIC_ERRORS(MAPGRAFT_ERROR_ID) MAPGRAFT_PROGRAM_ERRORS(MAPGRAFT_ERROR_ID)
#undef MAPGRAFT_ERROR_ID
};
// Its earlier name, which the tests still use.
using failure_code = error_code;

// The outcome of an operation that can fail: the one error type inside the
// library and the programs. A failure carries its code, given where it
// happens, the system's error number when the system reported it, and the
// reason in the words a user is shown. Only the top level prints it.
class status {
 public:
  static status ok() { return status(); }
  static status failure(error_code code, std::string why) { return status(code, std::move(why), 0); }
  // A failure the system reported: errno on POSIX, GetLastError() on Windows.
  static status failure(error_code code, std::string why, int system_error) {
    return status(code, std::move(why), system_error);
  }
  static status failure(std::string why, int system_error) { return status(error_code::io, std::move(why), system_error); }
  // A failure of no kind of its own, counted as io: only for callers outside
  // the library and the programs (the tests' stand-ins).
  static status failure(std::string why) { return status(error_code::io, std::move(why), 0); }

  bool is_ok() const { return code_ == error_code::ok; }
  error_code code() const { return code_; }
  const std::string& why() const { return why_; }
  // The system's error number, 0 when the system did not report one.
  int system_error() const { return system_error_; }

 private:
  status() = default;
  status(error_code code, std::string why, int system_error)
      : code_(code), why_(std::move(why)), system_error_(system_error) {}

  error_code code_ = error_code::ok;
  std::string why_;
  int system_error_ = 0;
};
