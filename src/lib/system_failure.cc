#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

#include "lib/map_handle.h"

int system_failure(int error) {
#ifdef _WIN32
  SetLastError(static_cast<DWORD>(error));
#else
  errno = error;
#endif
  return MG_ERR_IO;
}

int internal_failure() {
#ifdef _WIN32
  return system_failure(ERROR_INTERNAL_ERROR);
#else
  return system_failure(EIO);
#endif
}
