#include <cerrno>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "level/level_save.h"
#include "lib/map_handle.h"

namespace {

// The options of a caller built against this header, or of an older one.
constexpr size_t first_options_size = sizeof(mg_save_options);
// Any other bit may mean something to a later version.
constexpr unsigned known_save_flags = MG_SAVE_NEW | MG_SAVE_CHECK | MG_SAVE_ANYWAY;

// The reason stays where the caller looks for it once the function returns.
int system_failure(int error) {
#ifdef _WIN32
  if (error != 0) SetLastError(static_cast<DWORD>(error));
#else
  if (error != 0) errno = error;
#endif
  return MG_ERR_IO;
}

int code_of(const status& s, const save_outcome& outcome) {
  switch (outcome.failed) {
    case save_outcome::failure::none: return MG_OK;
    case save_outcome::failure::too_large: return MG_ERR_TOO_LARGE;
    case save_outcome::failure::exists: return MG_ERR_EXISTS;
    case save_outcome::failure::verify: return MG_ERR_VERIFY;
    case save_outcome::failure::system: break;
  }
  return system_failure(s.system_error());
}

}  // namespace

int mg_map_save_file(const mg_map* map, const char* path, const mg_save_options* options) {
  if (map == nullptr || path == nullptr || path[0] == '\0') return MG_ERR_ARGUMENT;
  if (options != nullptr && options->size < first_options_size) return MG_ERR_ARGUMENT;
  const mg_save_options none{sizeof(mg_save_options), 0, nullptr, nullptr, nullptr};
  const mg_save_options& o = options != nullptr ? *options : none;
  if ((o.flags & ~known_save_flags) != 0) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    const std::lock_guard<std::mutex> held(map->origin_lock);
    const bool create = (o.flags & MG_SAVE_NEW) != 0;
    // The file the map came from must be as it was read, unless the caller
    // says otherwise.
    if (!create && (o.flags & MG_SAVE_ANYWAY) == 0 && map->origin.known && map->origin.path == path) {
      file_origin now;
      if (file_origin_now(path, now) != MG_OK || !(now == map->origin)) return MG_ERR_CHANGED;
    }
    save_plan plan;
    plan.path = path;
    plan.create = create;
    plan.like = map->origin.known ? map->origin.path.c_str() : nullptr;
    plan.check_only = (o.flags & MG_SAVE_CHECK) != 0;
    plan.watch_temp = [&o](const std::string& temp, bool created) {
      if (o.temp != nullptr) o.temp(o.context, temp.c_str(), created ? 1 : 0);
    };
    save_outcome outcome;
    null_report quiet;
    const status saved = level_save(map->image, plan, quiet, outcome);
    if (!saved.is_ok()) return code_of(saved, outcome);
    if (o.warn != nullptr)
      for (const std::string& line : outcome.warnings) o.warn(o.context, line.c_str());
    if (!plan.check_only) {
      // The saved file is where the map now comes from.
      file_origin now;
      if (file_origin_now(path, now) == MG_OK) map->origin = now;
    }
    return MG_OK;
  });
}
