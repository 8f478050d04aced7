// libFuzzer entry: the whole edit in memory on the fuzzer's bytes. Any broken
// promise aborts, so libFuzzer keeps the input as a crash.

#include <cstdio>
#include <cstdlib>

#include "edit_roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string fault = edit_roundtrip_fault({data, size});
  if (!fault.empty()) {
    std::fprintf(stderr, "broken promise: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
