// libFuzzer entry: the whole edit in memory on the fuzzer's bytes, once as
// mapgraft makes it (insert a chunk) and once as mapgraft-edit does (a short
// sequence of operations). Any broken promise aborts, so libFuzzer keeps the
// input as a crash.

#include <cstdio>
#include <cstdlib>

#include "edit_ops_roundtrip.h"
#include "edit_roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (auto* check : {edit_roundtrip_fault, edit_ops_roundtrip_fault}) {
    const std::string fault = check({data, size});
    if (!fault.empty()) {
      std::fprintf(stderr, "broken promise: %s\n", fault.c_str());
      std::abort();
    }
  }
  return 0;
}
