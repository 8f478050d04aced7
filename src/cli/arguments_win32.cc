#include "cli/arguments.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "cli/fatal_error.h"

#include "support/utf8.h"

int run_with_utf8_arguments(int, char**, int (*program)(int argc, char** argv)) {
  int count = 0;
  const wchar_t* line = GetCommandLineW();
  wchar_t** wide = CommandLineToArgvW(line, &count);
  // Only memory runs out here, and the ANSI `argv` is no fallback: it may
  // name another file.
  if (wide == nullptr) fail_fatal(3, "malloc error: requested %i bytes\n", static_cast<int>((wcslen(line) + 1) * sizeof *line));
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    const std::wstring_view argument(wide[i]);
    arguments.push_back(utf8_from_utf16(std::u16string(argument.begin(), argument.end())));
  }
  LocalFree(wide);
  std::vector<char*> utf8_argv;
  for (std::string& argument : arguments) utf8_argv.push_back(argument.data());
  utf8_argv.push_back(nullptr);
  return run_to_exhaustion(count, utf8_argv.data(), program);
}
