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

calling_back_scope::~calling_back_scope() {
  // The reason a failed call leaves must outlast the scope, whose lock may
  // reset it (on Windows the thread-local storage behind it clears
  // GetLastError()).
#ifdef _WIN32
  const DWORD error = GetLastError();
  map_->calling_back.leave();
  SetLastError(error);
#else
  const int error = errno;
  map_->calling_back.leave();
  errno = error;
#endif
}
