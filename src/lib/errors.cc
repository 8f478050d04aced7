#include <iterator>

#include "lib/error_list.h"
#include "mapgraft.h"

namespace {

#define MG_ERROR_CODE(code, text) code,
#define MG_ERROR_NAME(code, text) #code,
#define MG_ERROR_TEXT(code, text) text,
constexpr int codes[] = {MG_ERROR_LIST(MG_ERROR_CODE)};
constexpr const char* names[] = {MG_ERROR_LIST(MG_ERROR_NAME)};
constexpr const char* texts[] = {MG_ERROR_LIST(MG_ERROR_TEXT)};

constexpr bool in_order() {
  for (std::size_t i = 0; i < std::size(codes); ++i)
    if (codes[i] != static_cast<int>(i)) return false;
  return true;
}
static_assert(in_order(), "lib/error_list.h: the codes are not 0, 1, 2... in order");

// An enumerator missing from the list fails the build here.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
#define MG_ERROR_CASE(code, text) \
  case code:                      \
    return true;
constexpr bool listed(mg_error error) {
  switch (error) { MG_ERROR_LIST(MG_ERROR_CASE) }
  return false;
}
#pragma GCC diagnostic pop
static_assert(listed(MG_OK));

constexpr bool known(int error) { return error >= 0 && error < static_cast<int>(std::size(codes)); }

}  // namespace

extern "C" const char* mg_error_name(int error) { return known(error) ? names[error] : "MG_ERR_UNKNOWN"; }

extern "C" const char* mg_strerror(int error) { return known(error) ? texts[error] : "unknown error"; }

extern "C" const char* mg_version(void) { return MG_VERSION_STRING; }
