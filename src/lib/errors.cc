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

}  // namespace

extern "C" const char* mg_strerror(int error) {
  if (error < 0 || error >= static_cast<int>(sizeof texts / sizeof *texts)) return "unknown error";
  return texts[error];
}

extern "C" const char* mg_version(void) { return MG_VERSION_STRING; }
