// Replays every input the fuzzer was seeded with or ever tripped over, so a
// fixed fault stays fixed without libFuzzer.

#include <gtest/gtest.h>

#include <filesystem>

#include "edit_ops_roundtrip.h"
#include "edit_roundtrip.h"
#include "map_builder.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> fuzz_inputs() {
  std::vector<fs::path> inputs;
  for (const char* folder : {"fuzz/regressions", "fuzz/corpus"}) {
    const fs::path root = fs::path(MAPGRAFT_SOURCE_DIR) / folder;
    if (!fs::exists(root)) continue;
    for (const auto& entry : fs::directory_iterator(root)) inputs.push_back(entry.path());
  }
  return inputs;
}

TEST(Regression, FuzzInputsKeepEveryPromise) {
  int replayed = 0;
  for (const fs::path& path : fuzz_inputs()) {
    const bytes input = read_file(path.string());
    EXPECT_EQ(edit_roundtrip_fault(input), "") << path;
    EXPECT_EQ(edit_ops_roundtrip_fault(input), "") << path;
    // Every steering of the first byte, on the same map bytes.
    bytes steered = input.empty() ? bytes{0} : input;
    for (int control = 0; control < 256; ++control) {
      steered[0] = static_cast<std::uint8_t>(control);
      EXPECT_EQ(edit_roundtrip_fault(steered), "") << path << " steered by " << control;
      EXPECT_EQ(edit_ops_roundtrip_fault(steered), "") << path << " steered by " << control;
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

// Each operation alone on the map of every input, with the steering values
// that pick each type, key, index and kind of made-up bitmap.
TEST(Regression, FuzzMapsTakeEveryOperation) {
  std::vector<std::uint8_t> firsts;
  for (int a = 0; a < 20; ++a) firsts.push_back(static_cast<std::uint8_t>(a));
  for (std::uint8_t a : {0x11, 0x21, 0x23, 0x31}) firsts.push_back(a);
  for (const fs::path& path : fuzz_inputs()) {
    const bytes input = read_file(path.string());
    const bool ops_seed = path.filename().string().starts_with("ops_");
    const std::span<const std::uint8_t> map = ops_seed ? edit_ops_map(input) : std::span(input).subspan(input.empty() ? 0 : 1);
    for (std::uint8_t kind = 0; kind < 7; ++kind)
      for (std::uint8_t a : firsts)
        for (std::uint8_t b : {0, 7, 0x85, 254, 255}) {
          const bytes steered = concat({{1, kind, a, b}, {map.begin(), map.end()}});
          EXPECT_EQ(edit_ops_roundtrip_fault(steered), "")
              << path << " with operation " << int{kind} << " " << int{a} << " " << int{b};
        }
  }
}

}  // namespace
