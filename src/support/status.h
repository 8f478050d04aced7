#pragma once

#include <string>
#include <utility>

// The outcome of an operation that can fail for a reason worth telling the
// user. Only the top level prints the reason.
class status {
 public:
  static status ok() { return status(); }
  static status failure(std::string why) { return status(std::move(why)); }

  bool is_ok() const { return !failed_; }
  const std::string& why() const { return why_; }

 private:
  status() = default;
  explicit status(std::string why) : failed_(true), why_(std::move(why)) {}

  bool failed_ = false;
  std::string why_;
};
