// Replays every input the fuzzer was seeded with or ever tripped over, so a
// fixed fault stays fixed without libFuzzer.

#include <gtest/gtest.h>

#include <filesystem>

#include "edit_roundtrip.h"
#include "map_builder.h"

namespace {

namespace fs = std::filesystem;

TEST(Regression, FuzzInputsKeepEveryPromise) {
  int replayed = 0;
  for (const char* folder : {"fuzz/regressions", "fuzz/corpus"}) {
    const fs::path root = fs::path(MAPGRAFT_SOURCE_DIR) / folder;
    if (!fs::exists(root)) continue;
    for (const auto& entry : fs::directory_iterator(root)) {
      const bytes input = read_file(entry.path().string());
      EXPECT_EQ(edit_roundtrip_fault(input), "") << entry.path();
      // Every steering of the first byte, on the same map bytes.
      bytes steered = input.empty() ? bytes{0} : input;
      for (int control = 0; control < 256; ++control) {
        steered[0] = static_cast<std::uint8_t>(control);
        EXPECT_EQ(edit_roundtrip_fault(steered), "") << entry.path() << " steered by " << control;
      }
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
