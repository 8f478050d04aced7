#pragma once

// Runs the built tool as a separate process, the way a user would. The
// environment variable MAPGRAFT_UNDER_TEST may name another command to run
// instead (for example "wine /path/mapgraft.exe"), words separated by spaces;
// MAPGRAFT_INSPECT_UNDER_TEST does the same for the inspector, and
// MAPGRAFT_EDIT_UNDER_TEST for mapgraft-edit.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct run_options {
  std::string argv0;                 // the name the tool is invoked as; empty: its path
  bool no_arguments_at_all = false;  // start it with an empty argument vector
  long file_size_limit = -1;         // RLIMIT_FSIZE in bytes
  long address_space_limit = -1;     // RLIMIT_AS in bytes
  bool ignore_sigxfsz = false;
  std::string stdout_path;  // standard output goes to this file instead of being kept
  enum class opening { truncate, append, in_place };  // as '>', '>>', '1<>'
  opening stdout_opening = opening::truncate;
  std::vector<int> closed_streams;   // standard descriptors (0, 1, 2) closed in the child
  long pipe_reader_takes = -1;       // >= 0: standard output is a pipe whose reader takes that many bytes, then closes it
  uid_t uid = 0;                     // with set_user: the child's user, group and supplementary groups
  gid_t gid = 0;
  std::vector<gid_t> groups;
  bool set_user = false;
  std::vector<std::string> environment;  // NAME=value settings added to the tool's environment
  std::function<void(pid_t)> while_running;  // called once the process has started
  std::optional<std::string> input;  // its standard input; none: the test's own
  bool stdout_terminal = false;      // standard output is a pseudo-terminal, whose output is kept as `out`
  bool stderr_terminal = false;      // with stdout_terminal: standard error is that terminal too
};

struct run_result {
  int status = -1;  // exit status, or -1 when ended by a signal
  int signal = 0;   // the signal that ended it
  std::string out;  // standard output, carriage returns removed
  std::string raw_out;  // standard output byte for byte
  std::string err;
  long peak_rss_kib = 0;  // the process's largest resident set
  std::vector<std::string> out_lines() const;
};

run_result run_tool(const std::vector<std::string>& args, const run_options& options = {});
run_result run_inspector(const std::vector<std::string>& args, const run_options& options = {});
run_result run_editor(const std::vector<std::string>& args, const run_options& options = {});

// False when the tool runs under another command (an emulator), where process
// limits, signals and the invocation name do not reach it as they would.
bool tool_is_native();
bool inspector_is_native();
bool editor_is_native();

// True when the tool under test is a Windows executable (run under Wine).
bool tool_is_windows();
bool editor_is_windows();
bool inspector_is_windows();

// The tool's first output line, whatever the build date.
std::string banner_pattern();

// Whether this test binary runs under AddressSanitizer, which reserves far
// more address space and memory than the programs themselves need.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool under_address_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool under_address_sanitizer = true;
#else
inline constexpr bool under_address_sanitizer = false;
#endif
#else
inline constexpr bool under_address_sanitizer = false;
#endif

// Whether process `pid` holds a file without a name (O_TMPFILE) in `folder`:
// one shows among its descriptors as "FOLDER/#INODE (deleted)".
bool holds_unnamed_file(pid_t pid, const std::string& folder);
