#include "support/windows_error.h"

#include <windows.h>

#include "support/utf8.h"

std::string windows_error_text(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  // Messages end in ".\r\n" and a few hold line breaks of their own; the
  // reason has to fit the one line it is printed on.
  std::u16string text;
  for (DWORD i = 0; i < length && buffer != nullptr; ++i) {
    const char16_t c = buffer[i] == L'\r' || buffer[i] == L'\n' ? u' ' : static_cast<char16_t>(buffer[i]);
    if (c != u' ' || (!text.empty() && text.back() != u' ')) text.push_back(c);
  }
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'.')) text.pop_back();
  if (text.empty()) return "system error " + std::to_string(code);
  // In UTF-8, as everything the tool prints: the system's language may need
  // characters the ANSI code page lacks.
  return utf8_from_utf16(text);
}
