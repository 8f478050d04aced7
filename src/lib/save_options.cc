#include "lib/save_options.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace {

// The options of a caller built against the first header with them; each
// later field is read only when `size` holds it.
constexpr size_t first_options_size = offsetof(mg_save_options, backup);
constexpr size_t backup_options_size = offsetof(mg_save_options, backup) + sizeof(const char*);

// Any other bit may mean something to a later version.
constexpr unsigned known_save_flags = MG_SAVE_NEW | MG_SAVE_CHECK | MG_SAVE_ANYWAY | MG_SAVE_NOWAIT;

// A suffix names a file beside the map, never one elsewhere.
bool suffix_ok(const char* suffix) {
#ifdef _WIN32
  const char* separators = "/\\:";
#else
  const char* separators = "/";
#endif
  return suffix == nullptr || (suffix[0] != '\0' && std::strpbrk(suffix, separators) == nullptr);
}

}  // namespace

int save_options_check(const mg_save_options* options) {
  if (options == nullptr) return MG_OK;
  if (options->size < first_options_size || (options->size > first_options_size && options->size < backup_options_size))
    return MG_ERR_ARGUMENT;
  if ((options->flags & ~known_save_flags) != 0) return MG_ERR_ARGUMENT;
  const mg_save_options o = save_options_copy(options);
  return suffix_ok(o.backup) ? MG_OK : MG_ERR_ARGUMENT;
}

mg_save_options save_options_copy(const mg_save_options* options) {
  mg_save_options o{sizeof(mg_save_options), 0, nullptr, nullptr, nullptr, nullptr};
  if (options != nullptr) std::memcpy(&o, options, std::min<size_t>(options->size, sizeof o));
  o.size = sizeof o;
  return o;
}

map_save_options save_options_of(const mg_save_options& o, const char* path) {
  map_save_options how;
  how.path = path;
  how.create = (o.flags & MG_SAVE_NEW) != 0;
  how.check_only = (o.flags & MG_SAVE_CHECK) != 0;
  how.anyway = (o.flags & MG_SAVE_ANYWAY) != 0;
  how.wait = (o.flags & MG_SAVE_NOWAIT) == 0;
  how.backup = o.backup;
  // A C caller hears of the file's coming and going only.
  if (o.temp != nullptr)
    how.watch_temp = [&o](const std::string& temp, temp_step step) {
      if (step == temp_step::creating || step == temp_step::gone)
        o.temp(o.context, temp.c_str(), step == temp_step::creating ? 1 : 0);
    };
  return how;
}
