#include "tool_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace {

std::vector<std::string> command_of(const char* variable, const char* built) {
  const char* under_test = std::getenv(variable);
  if (under_test == nullptr || *under_test == '\0') return {built};
  std::vector<std::string> words;
  std::istringstream in(under_test);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::vector<std::string> tool_command() { return command_of("MAPGRAFT_UNDER_TEST", MAPGRAFT_EXE); }
std::vector<std::string> inspector_command() { return command_of("MAPGRAFT_INSPECT_UNDER_TEST", MAPGRAFT_INSPECT_EXE); }
std::vector<std::string> editor_command() { return command_of("MAPGRAFT_EDIT_UNDER_TEST", MAPGRAFT_EDIT_EXE); }

std::string slurp(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  return text;
}

std::string without_carriage_returns(const std::string& text) {
  std::string clean;
  for (char c : text)
    if (c != '\r') clean.push_back(c);
  return clean;
}

void set_limit(int resource, long limit) {
  if (limit < 0) return;
  rlimit value{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
  setrlimit(resource, &value);
}

}  // namespace

bool tool_is_native() { return tool_command().size() == 1; }
bool inspector_is_native() { return inspector_command().size() == 1; }
bool editor_is_native() { return editor_command().size() == 1; }

bool tool_is_windows() {
  const std::string program = tool_command().back();
  return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

static bool is_windows_program(const std::vector<std::string>& command) {
  const std::string& program = command.back();
  return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

bool editor_is_windows() { return is_windows_program(editor_command()); }
bool inspector_is_windows() { return is_windows_program(inspector_command()); }

std::string banner_pattern() {
  return "mapgraft v0\\.1\\.1 (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] [0-9]{4} .+";
}

std::vector<std::string> run_result::out_lines() const {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

namespace {

run_result run_command(std::vector<std::string> words, const std::vector<std::string>& args, const run_options& options) {
  const std::string program = words.front();
  if (!options.argv0.empty() && words.size() == 1) words.front() = options.argv0;
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  if (!options.no_arguments_at_all)
    for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::FILE* in = options.input ? std::tmpfile() : nullptr;
  if (out == nullptr || err == nullptr || (options.input && in == nullptr)) throw std::runtime_error("tmpfile failed");
  if (in != nullptr) {
    std::fwrite(options.input->data(), 1, options.input->size(), in);
    std::fflush(in);
    std::rewind(in);
  }
  int pipe_ends[2] = {-1, -1};
  if (options.pipe_reader_takes >= 0 && pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
  int terminal = -1, terminal_end = -1;
  if (options.stdout_terminal && openpty(&terminal, &terminal_end, nullptr, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(pipe_ends[1] >= 0 ? pipe_ends[1] : fileno(out), 1);
    if (!options.stdout_path.empty()) {
      const int how = options.stdout_opening == run_options::opening::append     ? O_WRONLY | O_APPEND
                      : options.stdout_opening == run_options::opening::in_place ? O_RDWR
                                                                                 : O_WRONLY | O_TRUNC;
      const int fd = open(options.stdout_path.c_str(), how | O_CREAT, 0644);
      if (fd < 0) _exit(126);
      dup2(fd, 1);
    }
    if (terminal_end >= 0) dup2(terminal_end, 1);
    dup2(fileno(err), 2);
    if (options.stderr_terminal && terminal_end >= 0) dup2(terminal_end, 2);
    if (in != nullptr) dup2(fileno(in), 0);
    if (pipe_ends[0] >= 0) {
      close(pipe_ends[0]);
      close(pipe_ends[1]);
    }
    for (int fd : options.closed_streams) close(fd);
    set_limit(RLIMIT_FSIZE, options.file_size_limit);
    set_limit(RLIMIT_AS, options.address_space_limit);
    set_limit(RLIMIT_CORE, 0);
    if (options.ignore_sigxfsz) signal(SIGXFSZ, SIG_IGN);
    if (options.set_user && (setgroups(options.groups.size(), options.groups.data()) != 0 || setgid(options.gid) != 0 ||
                             setuid(options.uid) != 0))
      _exit(126);
    for (const std::string& setting : options.environment) {
      const std::size_t equals = setting.find('=');
      setenv(setting.substr(0, equals).c_str(), equals == std::string::npos ? "" : setting.c_str() + equals + 1, 1);
    }
    execve(program.c_str(), argv.data(), environ);
    if (words.size() > 1 || program.find('/') == std::string::npos) execvp(program.c_str(), argv.data());
    _exit(127);
  }
  std::string piped;
  if (pipe_ends[0] >= 0) {
    close(pipe_ends[1]);
    piped.resize(static_cast<std::size_t>(options.pipe_reader_takes));
    std::size_t got = 0;
    while (got < piped.size()) {
      const ssize_t n = read(pipe_ends[0], piped.data() + got, piped.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    piped.resize(got);
    close(pipe_ends[0]);
  }
  // What the program writes to a terminal here is short: the pseudo-terminal
  // holds it until the program has ended.
  if (terminal_end >= 0) close(terminal_end);
  if (options.while_running) options.while_running(pid);
  int wait_status = 0;
  struct rusage usage {};
  while (wait4(pid, &wait_status, 0, &usage) < 0) {
  }
  run_result result;
  result.peak_rss_kib = usage.ru_maxrss;
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.signal = WTERMSIG(wait_status);
  if (in != nullptr) std::fclose(in);
  const std::string written = slurp(out);
  if (terminal >= 0) {
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) piped.append(buffer, static_cast<std::size_t>(n));
    close(terminal);
  }
  result.raw_out = pipe_ends[0] >= 0 || terminal >= 0 ? piped : written;
  result.out = without_carriage_returns(result.raw_out);
  result.err = without_carriage_returns(slurp(err));
  return result;
}

}  // namespace

run_result run_tool(const std::vector<std::string>& args, const run_options& options) {
  return run_command(tool_command(), args, options);
}

run_result run_inspector(const std::vector<std::string>& args, const run_options& options) {
  return run_command(inspector_command(), args, options);
}

run_result run_editor(const std::vector<std::string>& args, const run_options& options) {
  return run_command(editor_command(), args, options);
}

bool holds_unnamed_file(pid_t pid, const std::string& folder) {
  std::error_code error;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
    if (target.starts_with(folder + "/#") && target.ends_with(" (deleted)")) return true;
  }
  return false;
}
