#include <iterator>

#include "lib/map_handle.h"
#include "support/error_list.h"

namespace {

#define MG_ERROR_CODE(name, code, text) code,
#define MG_ERROR_NAME(name, code, text) #code,
#define MG_ERROR_TEXT(name, code, text) text,
constexpr int codes[] = {MAPGRAFT_PUBLIC_ERRORS(MG_ERROR_CODE)};
constexpr const char* names[] = {MAPGRAFT_PUBLIC_ERRORS(MG_ERROR_NAME)};
constexpr const char* texts[] = {MAPGRAFT_PUBLIC_ERRORS(MG_ERROR_TEXT)};
// By error_code: the public code each one is.
constexpr int public_codes[] = {MAPGRAFT_PUBLIC_ERRORS(MG_ERROR_CODE) MAPGRAFT_PROGRAM_ERRORS(MG_ERROR_CODE)};

constexpr bool in_order() {
  for (std::size_t i = 0; i < std::size(codes); ++i)
    if (codes[i] != static_cast<int>(i)) return false;
  return true;
}
static_assert(in_order(), "support/error_list.h: the public codes are not those of mg_error, in order");

// An enumerator of mg_error missing from the list fails the build here.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
#define MG_ERROR_CASE(name, code, text) \
  case code:                            \
    return true;
constexpr bool listed(mg_error error) {
  switch (error) { MAPGRAFT_PUBLIC_ERRORS(MG_ERROR_CASE) }
  return false;
}
#pragma GCC diagnostic pop
static_assert(listed(MG_OK));

constexpr bool known(int error) { return error >= 0 && error < static_cast<int>(std::size(codes)); }

}  // namespace

int result_of(const status& s) {
  const int code = public_codes[static_cast<int>(s.code())];
  // The reason stays where the caller looks for it once the function returns;
  // a failure the system gave no number for is the library's own.
  if (code == MG_ERR_IO) return s.system_error() != 0 ? system_failure(s.system_error()) : internal_failure();
  return code;
}

extern "C" const char* mg_error_name(int error) { return known(error) ? names[error] : "MG_ERR_UNKNOWN"; }

extern "C" const char* mg_strerror(int error) { return known(error) ? texts[error] : "unknown error"; }

extern "C" const char* mg_version(void) { return MG_VERSION_STRING; }
