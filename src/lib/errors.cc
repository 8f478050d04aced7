#include <mapgraft.h>

namespace {

constexpr const char* texts[] = {
    "success",
    "out of memory",
    "invalid argument",
    "not a tarvex map file",
    "damaged map",
    "no such chunk",
    "no such attribute",
    "no tileset of its own",
    "not a bitmap that can be a tileset",
    "past the limits of the map format",
    "input/output error",
    "the write callback failed",
    "the file changed since it was read",
    "verification failed",
    "the file exists",
};

constexpr const char* names[] = {
    "MG_OK",          "MG_ERR_NOMEM",    "MG_ERR_ARGUMENT",    "MG_ERR_NOT_A_MAP", "MG_ERR_DAMAGED",
    "MG_ERR_NO_CHUNK", "MG_ERR_NO_ATTR", "MG_ERR_NO_TILESET", "MG_ERR_BAD_TILESET", "MG_ERR_TOO_LARGE",
    "MG_ERR_IO",      "MG_ERR_CALLBACK", "MG_ERR_CHANGED",     "MG_ERR_VERIFY",    "MG_ERR_EXISTS",
};
static_assert(sizeof names == sizeof texts);

}  // namespace

extern "C" const char* mg_error_name(int error) {
  if (error < 0 || error >= static_cast<int>(sizeof names / sizeof *names)) return "MG_ERR_UNKNOWN";
  return names[error];
}

extern "C" const char* mg_strerror(int error) {
  if (error < 0 || error >= static_cast<int>(sizeof texts / sizeof *texts)) return "unknown error";
  return texts[error];
}

extern "C" const char* mg_version(void) { return MG_VERSION_STRING; }
