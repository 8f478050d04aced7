#pragma once

#include <string_view>

// An ATTR chunk's data are a text "key=value": the key is what comes before
// the first '=', the value what follows it. Data without '=' have no key.
inline bool attribute_text(std::string_view data, std::string_view& key, std::string_view& value) {
  const std::size_t equals = data.find('=');
  if (equals == std::string_view::npos) return false;
  key = data.substr(0, equals);
  value = data.substr(equals + 1);
  return true;
}
