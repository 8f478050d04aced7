// The JavaScript wrapper throws errors whose `code` is the C error's name.
#include <mapgraft.h>

#define MG_NAME(code) \
  case code:          \
    return #code;

extern "C" const char* mgweb_error_name(int error) {
  switch (error) {
    MG_NAME(MG_OK)
    MG_NAME(MG_ERR_NOMEM)
    MG_NAME(MG_ERR_ARGUMENT)
    MG_NAME(MG_ERR_NOT_A_MAP)
    MG_NAME(MG_ERR_DAMAGED)
    MG_NAME(MG_ERR_NO_CHUNK)
    MG_NAME(MG_ERR_NO_ATTR)
    MG_NAME(MG_ERR_NO_TILESET)
    MG_NAME(MG_ERR_BAD_TILESET)
    MG_NAME(MG_ERR_TOO_LARGE)
    MG_NAME(MG_ERR_IO)
    MG_NAME(MG_ERR_CALLBACK)
    MG_NAME(MG_ERR_CHANGED)
    MG_NAME(MG_ERR_VERIFY)
    MG_NAME(MG_ERR_EXISTS)
  }
  return "MG_ERR_UNKNOWN";
}
