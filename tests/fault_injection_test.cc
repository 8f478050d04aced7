// The tool stopped part way through a write, killed outright, or out of
// memory: the target is never lost, and the output says how far it got.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "layout_check.h"
#include "map_builder.h"
#include "tool_runner.h"

namespace {

const std::vector<std::string> read_lines = {"inserting default tileset"};
const std::vector<std::string> write_lines = {"patching bmp header",
                                              "writing bmp tileset: 49720 bytes 304x160 8bpp compression:'none'",
                                              "writing elvl: 12 + 67108872 bytes 1 chunks",
                                              "writing chunk: type:'BLOB' size:67108864/67108864",
                                              "writing map: 256 bytes 64 tiles"};

bool is_temporary(const std::string& name) { return name.find(".mapgraft-") != std::string::npos; }

// Does `act` as soon as the tool has created its temporary file.
std::function<void(pid_t)> once_writing(const temp_folder& folder, std::function<void(pid_t)> act) {
  return [&folder, act](pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::vector<std::string> names = folder.entries();
      if (std::any_of(names.begin(), names.end(), is_temporary) || holds_unnamed_file(pid, folder.root())) break;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    act(pid);
  };
}

std::function<void(pid_t)> signal_once_writing(const temp_folder& folder, int sig) {
  return once_writing(folder, [sig](pid_t pid) { kill(pid, sig); });
}

// Lines after the banner must be the expected report, cut off anywhere.
void expect_report_prefix(const run_result& r, const std::vector<std::string>& expected) {
  std::vector<std::string> lines = r.out_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(banner_pattern())));
  lines.erase(lines.begin());
  ASSERT_LE(lines.size(), expected.size()) << r.out;
  EXPECT_TRUE(std::equal(lines.begin(), lines.end(), expected.begin())) << r.out;
}

class FaultInjection : public testing::Test {
 protected:
  void SetUp() override {
    if (!tool_is_native()) GTEST_SKIP() << "limits and signals do not reach an emulated tool";
    write_file(map_, input_);
    write_file(raw_, bytes(64 << 20, 0x42));
  }

  std::vector<std::string> leftovers() const {
    std::vector<std::string> names = folder_.entries();
    names.erase(std::remove(names.begin(), names.end(), "map.lvl"), names.end());
    names.erase(std::remove(names.begin(), names.end(), "big.dat"), names.end());
    return names;
  }

  temp_folder folder_;
  const std::string map_ = folder_.path("map.lvl"), raw_ = folder_.path("big.dat");
  const bytes input_ = tile_entries(64);
};

std::vector<std::string> all_lines() {
  std::vector<std::string> lines = read_lines;
  lines.insert(lines.end(), write_lines.begin(), write_lines.end());
  return lines;
}

TEST_F(FaultInjection, WriteFailingPartWayIsReportedAndCleanedUp) {
  run_options options;
  options.file_size_limit = 1 << 20;
  options.ignore_sigxfsz = true;
  const run_result r = run_tool({map_, "BLOB", raw_}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mapgraft: cannot write '" + map_ + "': File too large\n");
  expect_report_prefix(r, all_lines());
  EXPECT_EQ(r.out_lines().back(), "writing chunk: type:'BLOB' size:67108864/67108864");
  EXPECT_EQ(read_file(map_), input_);
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

// Without the test's help: the program itself keeps the size limit's signal
// from ending it.
TEST_F(FaultInjection, ASizeLimitFailsTheWriteWithoutASignal) {
  run_options options;
  options.file_size_limit = 1 << 20;
  const run_result r = run_tool({map_, "BLOB", raw_}, options);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mapgraft: cannot write '" + map_ + "': File too large\n");
  EXPECT_EQ(read_file(map_), input_);
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

// SIGKILL cannot be caught, so its temporary file stays; the interrupting
// signals remove it before the process ends.
TEST_F(FaultInjection, KilledOrInterruptedWhileWritingLeavesTheTarget) {
  // SIGKILL last: the temporary file it leaves would be taken for the next run's.
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(strsignal(sig));
    run_options options;
    options.while_running = signal_once_writing(folder_, sig);
    const run_result r = run_tool({map_, "BLOB", raw_}, options);
    EXPECT_EQ(r.signal, sig);
    expect_report_prefix(r, all_lines());
    EXPECT_EQ(read_file(map_), input_);
    if (sig != SIGKILL) {
      EXPECT_EQ(leftovers(), std::vector<std::string>{});
    }
  }
}

// Under Wine, SIGINT reaches a Windows program as Ctrl-C, which ends it with
// STATUS_CONTROL_C_EXIT (0xC000013A, of which Linux sees the low byte).
TEST(FaultInjectionOnWindows, CtrlCWhileWritingRemovesItsTemporaryFile) {
  if (!tool_is_windows()) GTEST_SKIP() << "Ctrl-C as Windows delivers it";
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), raw = folder.path("big.dat");
  write_file(map, tile_entries(64));
  write_file(raw, bytes(64 << 20, 0x42));
  run_options options;
  options.while_running = signal_once_writing(folder, SIGINT);
  const run_result r = run_tool({map, "BLOB", raw}, options);
  EXPECT_EQ(r.status, 0x3A);
  expect_report_prefix(r, all_lines());
  EXPECT_EQ(read_file(map), tile_entries(64));
  // The tool deletes its temporary file before it ends, but Wine removes a
  // file deleted while open only once its server has closed the handles of
  // the ended process, which it may do after Linux has reported the end.
  const std::vector<std::string> expected = {"big.dat", "map.lvl"};
  for (int wait = 0; wait < 100 && folder.entries() != expected; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(folder.entries(), expected);
}

// Windows cannot replace a file that is open, so a second edit of a map does
// not wait for the first: it fails and leaves the map to the first, whose
// change must not be lost to it. The first is held still mid-write while the
// second runs.
TEST(FaultInjectionOnWindows, ASecondEditWhileOneIsWritingFailsAndChangesNothing) {
  if (!tool_is_windows()) GTEST_SKIP() << "Windows fails the second edit; POSIX lets it wait";
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), raw = folder.path("big.dat"), text = folder.path("msg.txt");
  const std::string alone = folder.path("alone.lvl");
  write_file(map, tile_entries(64));
  write_file(alone, tile_entries(64));
  write_file(raw, bytes(64 << 20, 0x42));
  write_file(text, text_bytes("second"));
  run_result second;
  run_options options;
  options.while_running = [&](pid_t pid) {
    signal_once_writing(folder, SIGSTOP)(pid);
    second = run_tool({map, "ATTR", text});
    kill(pid, SIGCONT);
  };
  const run_result first = run_tool({map, "BLOB", raw}, options);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "mapgraft: cannot write '" + map + "': another edit of the file is in progress\n");
  EXPECT_EQ(second.out_lines().size(), 1u) << second.out;
  ASSERT_EQ(run_tool({alone, "BLOB", raw}).status, 0);
  EXPECT_TRUE(read_file(map) == read_file(alone));
}

// The raw file's length goes into the chunk's header before its bytes are
// copied: a file that changes size meanwhile must not leave a map whose
// length field disagrees with its bytes.
TEST_F(FaultInjection, ARawFileChangingSizeWhileCopiedLeavesTheTarget) {
  struct change_case {
    const char* name;
    std::function<void(const std::string&)> change;
    std::vector<std::string> reasons;
  };
  const change_case cases[] = {
      {"grows",
       [](const std::string& path) {
         const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
         const bytes more(4096, 0x43);
         EXPECT_EQ(write(fd, more.data(), more.size()), static_cast<ssize_t>(more.size()));
         close(fd);
       },
       {"the file grew while it was read"}},
      {"shrinks", [](const std::string& path) { EXPECT_EQ(truncate(path.c_str(), 32 << 20), 0); },
       {"the file shrank while it was read"}},
  };
  for (const change_case& c : cases) {
    SCOPED_TRACE(c.name);
    // The change lands while the raw file is copied unless the machine is
    // too busy to notice the temporary file in time; the tool then finishes
    // with the bytes it recorded, a well-formed map.
    run_result r;
    for (int attempt = 0; attempt < 10 && r.status != 1; ++attempt) {
      write_file(map_, input_);
      write_file(raw_, bytes(64 << 20, 0x42));
      run_options options;
      options.while_running = once_writing(folder_, [&](pid_t) { c.change(raw_); });
      r = run_tool({map_, "BLOB", raw_}, options);
      if (r.status == 0) {
        EXPECT_EQ(extended_layout_fault(read_file(map_)), "");
      }
    }
    ASSERT_EQ(r.status, 1) << "the change never landed during the copy";
    const auto said = [&](const std::string& reason) { return r.err == "mapgraft: cannot write '" + map_ + "': " + reason + "\n"; };
    EXPECT_TRUE(std::any_of(c.reasons.begin(), c.reasons.end(), said)) << r.err;
    expect_report_prefix(r, all_lines());
    EXPECT_EQ(read_file(map_), input_);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
  }
}

TEST_F(FaultInjection, MemoryExhaustedEndsWithStatus3BeforeWriting) {
  if (under_address_sanitizer) GTEST_SKIP() << "the sanitizer reserves far more address space than the limit";
  // The raw file is copied from file to file, so it is the target that has
  // to be large: room to start, not to hold a 64 MiB map.
  const bytes large_map = tile_entries(16 << 20);
  write_file(map_, large_map);
  run_options options;
  options.address_space_limit = 48l << 20;
  const run_result r = run_tool({map_, "BLOB", raw_}, options);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Unrecoverable error (3): malloc error: requested 67108864 bytes\n\n");
  expect_report_prefix(r, {});
  EXPECT_EQ(r.out_lines().size(), 1u);
  EXPECT_EQ(read_file(map_), large_map);
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
