#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

#include "lib/map_handle.h"

int system_failure(int error) {
#ifdef _WIN32
  SetLastError(error != 0 ? static_cast<DWORD>(error) : ERROR_INTERNAL_ERROR);
#else
  errno = error != 0 ? error : EIO;
#endif
  return MG_ERR_IO;
}
