#include "support/windows_error.h"

#include <windows.h>

std::string windows_error_text(unsigned long code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  // Messages end in ".\r\n" and a few hold line breaks of their own; the
  // reason has to fit the one line it is printed on.
  std::string text;
  for (DWORD i = 0; i < length && buffer != nullptr; ++i) {
    const char c = buffer[i] == '\r' || buffer[i] == '\n' ? ' ' : buffer[i];
    if (c != ' ' || (!text.empty() && text.back() != ' ')) text.push_back(c);
  }
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  if (text.empty()) text = "system error " + std::to_string(code);
  return text;
}
