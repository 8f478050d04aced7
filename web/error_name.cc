// The JavaScript wrapper throws errors whose `code` is the C error's name.
#include <mapgraft.h>

extern "C" const char* mgweb_error_name(int error) { return mg_error_name(error); }
