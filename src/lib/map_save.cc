#include <cstddef>
#include <cstring>
#include <string>

#include "lib/map_handle.h"
#include "lib/save_options.h"

int mg_map_save_file(const mg_map* map, const char* path, const mg_save_options* options) {
  if (map == nullptr || path == nullptr || path[0] == '\0') return MG_ERR_ARGUMENT;
  if (const int refused = save_options_check(options); refused != MG_OK) return refused;
  const mg_save_options o = save_options_copy(options);
  return guarded([&]() -> int {
    if (call_refused(map)) return MG_ERR_ARGUMENT;
    const calling_back_scope scope(map);
    const map_save_options how = save_options_of(o, path);
    map_saved saved;
    if (const status s = map->file.save(how, saved); !s.is_ok()) return result_of(s);
    if (o.warn != nullptr)
      for (const std::string& line : saved.warnings) o.warn(o.context, line.c_str());
    return MG_OK;
  });
}
