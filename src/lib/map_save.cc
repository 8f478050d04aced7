#include <cstddef>
#include <cstring>
#include <string>

#include "lib/map_handle.h"

namespace {

// The options of a caller built against the first header with them; each
// later field is read only when `size` holds it.
constexpr size_t first_options_size = offsetof(mg_save_options, backup);
constexpr size_t backup_options_size = offsetof(mg_save_options, backup) + sizeof(const char*);

// A suffix names a file beside the map, never one elsewhere.
bool suffix_ok(const char* suffix) {
#ifdef _WIN32
  const char* separators = "/\\:";
#else
  const char* separators = "/";
#endif
  return suffix == nullptr || (suffix[0] != '\0' && std::strpbrk(suffix, separators) == nullptr);
}
// Any other bit may mean something to a later version.
constexpr unsigned known_save_flags = MG_SAVE_NEW | MG_SAVE_CHECK | MG_SAVE_ANYWAY | MG_SAVE_NOWAIT;

}  // namespace

int mg_map_save_file(const mg_map* map, const char* path, const mg_save_options* options) {
  if (map == nullptr || path == nullptr || path[0] == '\0') return MG_ERR_ARGUMENT;
  if (options != nullptr && (options->size < first_options_size ||
                             (options->size > first_options_size && options->size < backup_options_size)))
    return MG_ERR_ARGUMENT;
  const mg_save_options none{sizeof(mg_save_options), 0, nullptr, nullptr, nullptr, nullptr};
  const mg_save_options& o = options != nullptr ? *options : none;
  if ((o.flags & ~known_save_flags) != 0) return MG_ERR_ARGUMENT;
  const char* backup = o.size >= backup_options_size ? o.backup : nullptr;
  if (!suffix_ok(backup)) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    if (call_refused(map)) return MG_ERR_ARGUMENT;
    const calling_back_scope scope(map);
    map_save_options how;
    how.path = path;
    how.create = (o.flags & MG_SAVE_NEW) != 0;
    how.check_only = (o.flags & MG_SAVE_CHECK) != 0;
    how.anyway = (o.flags & MG_SAVE_ANYWAY) != 0;
    how.wait = (o.flags & MG_SAVE_NOWAIT) == 0;
    how.backup = backup;
    // A C caller hears of the file's coming and going only.
    how.watch_temp = [&o](const std::string& temp, temp_step step) {
      if (o.temp != nullptr && (step == temp_step::creating || step == temp_step::gone))
        o.temp(o.context, temp.c_str(), step == temp_step::creating ? 1 : 0);
    };
    map_saved saved;
    if (const status s = map->file.save(how, saved); !s.is_ok()) return result_of(s);
    if (o.warn != nullptr)
      for (const std::string& line : saved.warnings) o.warn(o.context, line.c_str());
    return MG_OK;
  });
}
