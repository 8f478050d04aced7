#include "tool_runner.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

bool editor_is_windows() {
  const std::string program = editor_command().back();
  return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

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
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    if (in != nullptr) dup2(fileno(in), 0);
    set_limit(RLIMIT_FSIZE, options.file_size_limit);
    set_limit(RLIMIT_AS, options.address_space_limit);
    if (options.ignore_sigxfsz) signal(SIGXFSZ, SIG_IGN);
    execve(program.c_str(), argv.data(), environ);
    if (words.size() > 1 || program.find('/') == std::string::npos) execvp(program.c_str(), argv.data());
    _exit(127);
  }
  if (options.while_running) options.while_running(pid);
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
  }
  run_result result;
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.signal = WTERMSIG(wait_status);
  if (in != nullptr) std::fclose(in);
  result.raw_out = slurp(out);
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
