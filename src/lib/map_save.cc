#include <string>

#include "lib/map_handle.h"

namespace {

// The options of a caller built against this header, or of an older one.
constexpr size_t first_options_size = sizeof(mg_save_options);
// Any other bit may mean something to a later version.
constexpr unsigned known_save_flags = MG_SAVE_NEW | MG_SAVE_CHECK | MG_SAVE_ANYWAY;

}  // namespace

int mg_map_save_file(const mg_map* map, const char* path, const mg_save_options* options) {
  if (map == nullptr || path == nullptr || path[0] == '\0') return MG_ERR_ARGUMENT;
  if (options != nullptr && options->size < first_options_size) return MG_ERR_ARGUMENT;
  const mg_save_options none{sizeof(mg_save_options), 0, nullptr, nullptr, nullptr};
  const mg_save_options& o = options != nullptr ? *options : none;
  if ((o.flags & ~known_save_flags) != 0) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    if (call_refused(map)) return MG_ERR_ARGUMENT;
    const calling_back_scope scope(map);
    map_save_options how;
    how.path = path;
    how.create = (o.flags & MG_SAVE_NEW) != 0;
    how.check_only = (o.flags & MG_SAVE_CHECK) != 0;
    how.anyway = (o.flags & MG_SAVE_ANYWAY) != 0;
    how.watch_temp = [&o](const std::string& temp, bool created) {
      if (o.temp != nullptr) o.temp(o.context, temp.c_str(), created ? 1 : 0);
    };
    map_saved saved;
    if (const status s = map->file.save(how, saved); !s.is_ok()) return result_of(s);
    if (o.warn != nullptr)
      for (const std::string& line : saved.warnings) o.warn(o.context, line.c_str());
    return MG_OK;
  });
}
