// The map is rewritten whole or left exactly as it was, also when the run
// meets closed standard streams, another user's file, a second edit of the
// same map, a fatal signal, a name as long as the file system allows or a
// map that shrinks while it is read.

#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "map_builder.h"
#include "support/edit_target.h"
#include "support/memory.h"
#include "support/replacement_file.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

bool is_temporary(const std::string& name) { return name.find(".mapgraft-") != std::string::npos; }

bool has_temporary(const temp_folder& folder) {
  const std::vector<std::string> names = folder.entries();
  return std::any_of(names.begin(), names.end(), is_temporary);
}

// Returns once the tool `pid` has created its temporary file, named or not
// (or after 20 s).
void wait_for_temporary(const temp_folder& folder, pid_t pid) {
  const auto deadline = clock_type::now() + std::chrono::seconds(20);
  while (!has_temporary(folder) && !holds_unnamed_file(pid, folder.root()) && clock_type::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// Once the first edit has its temporary file, and so its lock, it is held
// still while `second` starts, so that the second surely meets the lock
// however fast the first would finish.
void meet_held_edit(const temp_folder& folder, pid_t first, const std::function<void()>& second) {
  wait_for_temporary(folder, first);
  kill(first, SIGSTOP);
  std::thread resume([first] {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    kill(first, SIGCONT);
  });
  second();
  resume.join();
}

// What the tool makes of `input` with `args` after the map, run on a copy in
// a folder of its own.
bytes edited(const bytes& input, const std::vector<std::string>& args = {}) {
  temp_folder folder;
  const std::string map = folder.path("map.lvl");
  write_file(map, input);
  std::vector<std::string> all = {map};
  all.insert(all.end(), args.begin(), args.end());
  EXPECT_EQ(run_tool(all).status, 0);
  return read_file(map);
}

TEST(Trust, AClosedStandardStreamNeverReachesTheMap) {
  if (!tool_is_native()) GTEST_SKIP() << "descriptors of a native process";
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), msg = folder.path("msg.txt");
  write_file(msg, text_bytes("a message\n"));
  const bytes expected = edited(tile_entries(16), {"ATTR", msg});
  write_file(map, expected);
  ASSERT_EQ(run_editor({"--set", "NAME=x", map}).status, 0);
  const bytes named = read_file(map);
  for (const std::vector<int>& closed : {std::vector<int>{0}, {1}, {2}, {1, 2}, {0, 1, 2}}) {
    SCOPED_TRACE(testing::PrintToString(closed));
    write_file(map, tile_entries(16));
    run_options options;
    options.closed_streams = closed;
    const run_result r = run_tool({map, "ATTR", msg}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(map), expected);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"map.lvl", "msg.txt"}));
    if (!editor_is_native()) continue;
    const run_result set = run_editor({"-v", "--set", "NAME=x", map}, options);
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(read_file(map), named);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"map.lvl", "msg.txt"}));
  }
}

// A new file (-o) takes the map's permission bits where the system lets it,
// and says which it could not: in a set-group-ID folder of a group the user
// is not in, the new file's own set-group-ID bit does not stay, and a
// set-user-ID bit does not go to a file of another owner.
TEST(Trust, ANewFileSaysWhichPermissionsItCouldNotTake) {
  if (!editor_is_native() || geteuid() != 0) GTEST_SKIP() << "needs root, to run as another user";
  for (const bool as_other_user : {true, false}) {
    temp_folder folder;
    ASSERT_EQ(chown(folder.root().c_str(), 0, 3000), 0);
    ASSERT_EQ(chmod(folder.root().c_str(), 02777), 0);
    const std::string map = folder.path("map.lvl"), out = folder.path("out.lvl");
    write_file(map, tile_entries(4));
    ASSERT_EQ(chown(map.c_str(), as_other_user ? 0 : 1000, 3000), 0);
    ASSERT_EQ(chmod(map.c_str(), as_other_user ? 02664 : 04755), 0);
    run_options options;
    options.set_user = as_other_user;
    options.uid = options.gid = 1001;
    options.groups = {1001};
    const run_result r = run_editor({"-o", out, "--set", "A=b", map}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "mapgraft-edit: warning: '" + out + "' has mode " + (as_other_user ? "0664, not 2664\n" : "0755, not 4755\n"));
    struct stat info {};
    ASSERT_EQ(stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, as_other_user ? 0664u : 0755u);
  }
}

// The group bits that stat shows for a file with an ACL are its mask, which
// may grant more than the owning group has: a new file takes the group's.
TEST(Trust, ANewFileTakesTheGroupBitsOfAnAclNotItsMask) {
  if (!editor_is_native() || !inspector_is_native()) GTEST_SKIP() << "POSIX access control lists";
  if (std::system("command -v setfacl >/dev/null 2>&1") != 0) GTEST_SKIP() << "setfacl is not installed (package acl)";
  temp_folder folder;
  const std::string map = folder.path("map.lvl");
  write_file(map, tile_entries(4));
  ASSERT_EQ(run_editor({"-q", "--set", "A=1", map}).status, 0);
  ASSERT_EQ(chmod(map.c_str(), 0640), 0);
  if (std::system(("setfacl -m u:daemon:rw '" + map + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "the file system refuses ACLs";
  const std::vector<std::function<run_result(const std::string&)>> runs = {
      [&](const std::string& copy) { return run_editor({"-o", copy, "--set", "A=2", map}); },
      [&](const std::string& copy) { return run_inspector({"-o", copy, map, "0"}); },
  };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string copy = folder.path("copy" + std::to_string(i) + ".lvl");
    const run_result r = runs[i](copy);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    struct stat info {};
    ASSERT_EQ(stat(copy.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }
}

std::string attribute(const std::string& path, const char* name) {
  std::string value(256, '\0');
  const ssize_t size = getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
  return value;
}

// A map of uid 1000 and group 2000 with an ACL, an extended attribute and a
// second hard link, edited by root and by uid 1001, a member of group 2000.
TEST(Trust, AnotherUsersFileKeepsItsGroupAclAndAttributes) {
  if (!tool_is_native() || geteuid() != 0) GTEST_SKIP() << "needs root, to make the files and to run as another user";
  if (std::system("command -v setfacl >/dev/null 2>&1") != 0) GTEST_SKIP() << "setfacl is not installed (package acl)";
  struct user_case {
    std::string name;
    bool as_other_user;
    uid_t owner;
    std::vector<std::string> warnings;  // besides the hard link's
    mode_t mode;
  };
  // The set-user-ID bit does not go to another owner; the group, kept, keeps its bit.
  const std::vector<user_case> cases = {
      {"root", false, 1000, {}, 06660},
      {"uid 1001 in group 2000", true, 1001, {"now belongs to you, not to uid 1000", "now has mode 2660, not 6660"}, 02660},
  };
  for (const user_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    chmod(folder.root().c_str(), 0777);
    const std::string map = folder.path("map.lvl"), other = folder.path("other-name.lvl"), msg = folder.path("msg.txt");
    write_file(msg, text_bytes("hello"));
    write_file(map, tile_entries(4));
    ASSERT_EQ(chown(map.c_str(), 1000, 2000), 0);
    ASSERT_EQ(chmod(map.c_str(), 06660), 0);
    if (setxattr(map.c_str(), "user.origin", "drawn by hand", 13, 0) != 0) GTEST_SKIP() << "no user.* attributes here";
    ASSERT_EQ(std::system(("setfacl -m u:1002:rw- '" + map + "'").c_str()), 0);
    ASSERT_EQ(link(map.c_str(), other.c_str()), 0);
    const std::string acl = attribute(map, "system.posix_acl_access");
    ASSERT_FALSE(acl.empty());

    run_options options;
    options.set_user = c.as_other_user;
    options.uid = 1001;
    options.gid = 1001;
    options.groups = {1001, 2000};
    const run_result r = run_tool({map, "ATTR", msg}, options);
    EXPECT_EQ(r.status, 0);
    std::string warnings;
    for (const std::string& warning : c.warnings) warnings += "mapgraft: warning: '" + map + "' " + warning + "\n";
    warnings += "mapgraft: warning: '" + map + "' is now a file of its own: its 1 other hard link keeps the old map\n";
    EXPECT_EQ(r.err, warnings);
    EXPECT_EQ(read_file(map), edited(tile_entries(4), {"ATTR", msg}));
    EXPECT_EQ(read_file(other), tile_entries(4));
    struct stat info {};
    ASSERT_EQ(stat(map.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, c.owner);
    EXPECT_EQ(info.st_gid, 2000u);
    EXPECT_EQ(info.st_mode & 07777, c.mode);
    EXPECT_EQ(attribute(map, "system.posix_acl_access"), acl);
    EXPECT_EQ(attribute(map, "user.origin"), "drawn by hand");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"map.lvl", "msg.txt", "other-name.lvl"}));
  }
}

// The first edit holds the map from its read until its new map is in place;
// the second waits, then edits the first one's map.
TEST(Trust, ASecondEditWaitsForTheFirstAndKeepsBothChunks) {
  if (!tool_is_native()) GTEST_SKIP() << "POSIX locks";
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), raw = folder.path("big.dat"), msg = folder.path("msg.txt");
  write_file(map, tile_entries(64));
  write_file(raw, bytes(64 << 20, 0x42));
  write_file(msg, text_bytes("second"));
  run_result second;
  run_options first_options;
  first_options.while_running = [&](pid_t first) {
    meet_held_edit(folder, first, [&] { second = run_tool({map, "ATTR", msg}); });
  };
  const run_result first = run_tool({map, "BLOB", raw}, first_options);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.err, "mapgraft: waiting for another edit of '" + map + "'\n");
  const run_result listed = run_inspector({map});
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.out.find("chunk 0: type:'BLOB' size:67108864/67108864\nchunk 1: type:'ATTR' size:6/8 data:'second'\n"),
            std::string::npos)
      << listed.out;
}

// mapgraft-edit waits like mapgraft; the map it then reads is another one,
// so indexes chosen from the old one no longer apply, while keys still do.
TEST(Trust, AnEditByIndexThatWaitedForAnotherFails) {
  if (!tool_is_native() || !editor_is_native()) GTEST_SKIP() << "POSIX locks";
  struct wait_case {
    std::vector<std::string> operation;
    int status;
    std::string failure;
    std::string last_chunk;
  };
  const wait_case cases[] = {
      {{"--remove", "0"}, 1, "changed while waiting; indexes no longer apply", "chunk 1: type:'BLOB' size:67108864/67108864"},
      {{"--set", "ZONE=Main"}, 0, "", "chunk 2: type:'ATTR' size:9/12 data:'ZONE=Main'"},
  };
  for (const wait_case& c : cases) {
    temp_folder folder;
    const std::string map = folder.path("map.lvl"), raw = folder.path("big.dat");
    write_file(map, extended_map(bitmap(40), {{"ATTR", text_bytes("NAME=x")}}, tile_entries(64)));
    write_file(raw, bytes(64 << 20, 0x42));
    run_result second;
    run_options first_options;
    first_options.while_running = [&](pid_t first) {
      std::vector<std::string> args = c.operation;
      args.push_back(map);
      meet_held_edit(folder, first, [&] { second = run_editor(args); });
    };
    EXPECT_EQ(run_tool({map, "BLOB", raw}, first_options).status, 0);
    EXPECT_EQ(second.status, c.status);
    EXPECT_EQ(second.err, "mapgraft-edit: waiting for another edit of '" + map + "'\n" +
                              (c.failure.empty() ? "" : "mapgraft-edit: '" + map + "': " + c.failure + "\n"));
    const run_result listed = run_inspector({map});
    EXPECT_NE(listed.out.find(c.last_chunk + "\nmap: 256 bytes 64 tiles\n"), std::string::npos) << listed.out;
  }
}

// For a program that edits many maps: under the lock, it learns whether the
// map it reads is another than the one it first opened.
TEST(Trust, AnEditThatWaitedKnowsTheMapWasReplaced) {
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), newer = folder.path("newer.lvl");
  write_file(map, text_bytes("old"));
  const int held = open(map.c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  std::atomic<bool> waiting = false;
  edit_target target;
  status opened = status::failure("not run");
  std::thread edit([&] { opened = target.open(map.c_str(), [&] { waiting = true; }); });
  while (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  write_file(newer, text_bytes("newer"));
  ASSERT_EQ(rename(newer.c_str(), map.c_str()), 0);
  close(held);
  edit.join();
  ASSERT_TRUE(opened.is_ok()) << opened.why();
  EXPECT_TRUE(target.waited());
  EXPECT_TRUE(target.changed_while_waiting());
  EXPECT_EQ(bytes(target.bytes().begin(), target.bytes().end()), text_bytes("newer"));
}

// A file made with -o must never replace one, even one that appears while
// it is written.
TEST(Trust, ANewFileNeverReplacesAnother) {
  temp_folder folder;
  const std::string made = folder.path("made.lvl"), late = folder.path("late.lvl");
  const bytes contents = text_bytes("new map");
  {
    replacement_file file;
    ASSERT_TRUE(file.begin_new(made.c_str()).is_ok());
    ASSERT_TRUE(file.write(contents).is_ok());
    ASSERT_TRUE(file.commit().is_ok());
  }
  EXPECT_EQ(read_file(made), contents);
  replacement_file again;
  EXPECT_EQ(again.begin_new(made.c_str()).why(), "File exists");
  replacement_file file;
  ASSERT_TRUE(file.begin_new(late.c_str()).is_ok());
  write_file(late, text_bytes("theirs"));
  ASSERT_TRUE(file.write(contents).is_ok());
  EXPECT_EQ(file.commit().why(), "File exists");
  EXPECT_EQ(read_file(late), text_bytes("theirs"));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"late.lvl", "made.lvl"}));
}

class TrustSignals : public testing::Test {
 protected:
  void SetUp() override {
    if (!tool_is_native()) GTEST_SKIP() << "signals do not reach an emulated tool";
    write_file(map_, tile_entries(64));
    write_file(raw_, bytes(64 << 20, 0x42));
  }

  temp_folder folder_;
  const std::string map_ = folder_.path("map.lvl"), raw_ = folder_.path("big.dat");
};

// Every signal that ends the process by default removes the temporary file
// first, bar those the sanitizers and profilers handle.
TEST_F(TrustSignals, AFatalSignalWhileWritingRemovesTheTemporaryFile) {
  for (int sig : {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGXCPU, SIGPOLL, SIGPWR}) {
    SCOPED_TRACE(strsignal(sig));
    run_options options;
    options.while_running = [&](pid_t pid) {
      wait_for_temporary(folder_, pid);
      kill(pid, sig);
    };
    const run_result r = run_tool({map_, "BLOB", raw_}, options);
    EXPECT_EQ(r.signal, sig);
    EXPECT_EQ(read_file(map_), tile_entries(64));
    EXPECT_EQ(folder_.entries(), (std::vector<std::string>{"big.dat", "map.lvl"}));
  }
}

// A reader that goes away costs the report, not the edit.
TEST_F(TrustSignals, AClosedPipeOnStandardOutputLetsTheEditFinish) {
  run_options options;
  options.pipe_reader_takes = 1;
  const run_result r = run_tool({map_, "BLOB", raw_}, options);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.raw_out, "m");
  EXPECT_EQ(fs::file_size(map_), 49720u + 12 + 8 + (64u << 20) + 256);
  EXPECT_EQ(folder_.entries(), (std::vector<std::string>{"big.dat", "map.lvl"}));
}

TEST(Trust, RunningOutOfMemoryRemovesTheTemporaryFile) {
  temp_folder folder;
  const std::string map = folder.path("map.lvl");
  write_file(map, tile_entries(1));
  std::int64_t requested = 0;
  try {
    edit_target target;
    replacement_file file;
    if (target.open(map.c_str()).is_ok() && file.begin(target).is_ok() &&
        (has_temporary(folder) || holds_unnamed_file(getpid(), folder.root())))
      mem_alloc_zeroed(-1);
  } catch (const out_of_memory& exhausted) {
    requested = exhausted.requested;
  }
  EXPECT_EQ(requested, -1);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"map.lvl"});
}

// The temporary name is cut short where the target's name leaves no room.
TEST(Trust, ANameAsLongAsTheFileSystemAllowsCanBeEdited) {
  if (!tool_is_native() && !tool_is_windows()) GTEST_SKIP() << "names as the system takes them";
  std::string accented = "x";
  while (accented.size() < 251) accented += "\xc3\xa9";  // é, so the cut falls inside a character
  for (const std::string& name : {std::string(251, 'a') + ".lvl", accented + ".lvl"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(name.size(), 255u);
    temp_folder folder;
    write_file(folder.path(name), tile_entries(2));
    const run_result r = run_tool({folder.path(name)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(folder.path(name)), edited(tile_entries(2)));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{name});
  }
}

// Ends the process when it has not ended by itself within `seconds`.
std::function<void(pid_t)> killed_after(int seconds) {
  return [seconds](pid_t pid) {
    const auto deadline = clock_type::now() + std::chrono::seconds(seconds);
    for (std::string state; clock_type::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::getline(stat, state);
      if (state.find(") Z ") != std::string::npos) return;
    }
    kill(pid, SIGKILL);
  };
}

// A map reached through the descriptor of a removed file: the path resolves
// to nothing, which no edit's replacement ever leaves, so the run fails at once.
TEST(Trust, APathThatNoLongerResolvesFailsAtOnce) {
  if (!tool_is_native() || !editor_is_native() || !fs::exists("/proc/self/fd")) GTEST_SKIP() << "descriptors of a native process";
  temp_folder folder;
  const std::string map = folder.path("x.lvl");
  write_file(map, tile_entries(4));
  const int fd = open(map.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  unlink(map.c_str());
  const std::string path = "/dev/fd/" + std::to_string(fd);
  run_options options;
  options.while_running = killed_after(1);
  const std::string reason = "No such file or directory\n";
  for (const auto& [r, err] : {std::pair{run_tool({path}, options), "mapgraft: cannot open '" + path + "': " + reason},
                               {run_editor({"--set", "K=V", path}, options), "mapgraft-edit: '" + path + "': cannot open: " + reason},
                               {run_editor({"-n", "--set", "K=V", path}, options), "mapgraft-edit: '" + path + "': cannot open: " + reason}}) {
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, err);
  }
  close(fd);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{});
}

// A dry run ends as the real run would for every failure known without
// writing, and opens nothing for writing.
TEST(Trust, ADryRunFailsAsTheRealRunWould) {
  if (!editor_is_native() || geteuid() != 0) GTEST_SKIP() << "needs root, to run as another user and to mount";
  struct dry_case {
    std::string name;
    std::vector<std::string> args;  // before the map
    std::string failure;            // after "'MAP': "
    mode_t folder_mode;
    bool as_other_user;
    long size_limit;
    bool full_folder;
    std::string tool_failure;  // mapgraft's line, where it is run too
  };
  const std::string denied = "cannot create a temporary file in 'FOLDER': Permission denied";
  const std::vector<dry_case> cases = {
      {"sticky folder", {}, "cannot write: Operation not permitted", 01777, true, -1, false, ""},
      {"-o ''", {"-o", ""}, "cannot write '': No such file or directory", 0755, false, -1, false, ""},
      {"folder without write permission", {}, denied, 0555, true, -1, false, "mapgraft: " + denied},
      {"file size limit", {}, "cannot write: File too large", 0755, false, 40000, false, ""},
      {"no room", {}, "cannot write: No space left on device", 0755, false, -1, true, ""},
  };
  for (const dry_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder outer;
    const std::string folder = outer.path("maps");
    fs::create_directory(folder);
    chmod(outer.root().c_str(), 0755);
    if (c.full_folder && std::system(("mount -t tmpfs -o size=64k tmpfs '" + folder + "' 2>/dev/null").c_str()) != 0) continue;
    const std::string map = folder + "/m.lvl";
    write_file(map, tile_entries(4));
    chmod(map.c_str(), 0666);
    if (c.full_folder) write_file(folder + "/fill", bytes(40000, 0));
    chmod(folder.c_str(), c.folder_mode);
    run_options options;
    options.set_user = c.as_other_user;
    options.uid = options.gid = 1001;
    options.groups = {1001};
    options.file_size_limit = c.size_limit;
    const auto replaced_folder = [&folder](std::string text) {
      if (text.find("FOLDER") != std::string::npos) text.replace(text.find("FOLDER"), 6, folder);
      return text;
    };
    const std::string failure = replaced_folder(c.failure);
    for (const std::string mode : {"-n", "--force"}) {
      std::vector<std::string> args = c.args;
      args.insert(args.end(), {mode, "--set", "K=V", map});
      const int watch = inotify_init1(IN_NONBLOCK);
      inotify_add_watch(watch, map.c_str(), IN_CLOSE_WRITE | IN_MODIFY);
      const run_result r = run_editor(args, options);
      EXPECT_EQ(r.status, 1) << mode;
      EXPECT_EQ(r.err, "mapgraft-edit: '" + map + "': " + failure + "\n") << mode;
      char events[4096];
      if (mode == "-n") {
        EXPECT_LT(read(watch, events, sizeof events), 0) << "opened for writing";
      }
      close(watch);
    }
    if (!c.tool_failure.empty()) {
      EXPECT_EQ(run_tool({map}, options).err, replaced_folder(c.tool_failure) + "\n");
    }
    EXPECT_EQ(read_file(map), tile_entries(4));
    chmod(folder.c_str(), 0755);
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, c.full_folder ? (std::vector<std::string>{"fill", "m.lvl"}) : std::vector<std::string>{"m.lvl"});
    if (c.full_folder) std::system(("umount '" + folder + "'").c_str());
  }
}

bool holds_open(pid_t pid, const std::string& path) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = opendir(fds.c_str());
  if (dir == nullptr) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    char target[4096];
    const ssize_t length = readlink((fds + "/" + entry->d_name).c_str(), target, sizeof target);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == path) found = true;
  }
  closedir(dir);
  return found;
}

// A map cut short while a program reads it: never a crash. Each run either
// reads the map before or after the cut, or says that it shrank.
TEST(Trust, AMapThatShrinksWhileItIsReadIsRefused) {
  if (!tool_is_native() || !fs::exists("/proc/self/fd")) GTEST_SKIP() << "needs to watch a native process";
  temp_folder folder;
  const std::string map = folder.path("map.lvl");
  const bytes whole = tile_entries((15 << 20) / 4);
  struct program {
    std::string name;
    run_result (*run)(const std::vector<std::string>&, const run_options&);
  };
  for (const program& p : {program{"mapgraft", run_tool}, program{"mapgraft-inspect", run_inspector}}) {
    SCOPED_TRACE(p.name);
    int shrank = 0;
    for (int attempt = 0; attempt < 20 && shrank < 3; ++attempt) {
      write_file(map, whole);
      // Out of the page cache, so that the read takes long enough to be cut.
      const int fd = open(map.c_str(), O_RDONLY);
      fsync(fd);
      posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
      close(fd);
      run_options options;
      options.while_running = [&](pid_t pid) {
        const auto deadline = clock_type::now() + std::chrono::seconds(5);
        while (!holds_open(pid, map) && clock_type::now() < deadline) {
        }
        truncate(map.c_str(), 4096);
      };
      const run_result r = p.run({map}, options);
      ASSERT_EQ(r.signal, 0) << "attempt " << attempt;
      if (r.err == p.name + ": cannot open '" + map + "': the file shrank while it was read\n") {
        ++shrank;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(read_file(map).size(), 4096u);
      } else {
        EXPECT_EQ(r.status, 0) << r.err;
      }
    }
    EXPECT_GT(shrank, 0) << "the cut never came during the read";
  }
}

}  // namespace

// A FILE given for several maps is read once and held once, however many
// maps take it, and every map gets it byte for byte.
TEST(Trust, AFileForManyMapsIsHeldOnce) {
  if (!editor_is_native() || under_address_sanitizer) GTEST_SKIP() << "the peak memory of a native, uninstrumented run";
  temp_folder folder;
  constexpr std::size_t file_size = 64 << 20;
  bytes data(file_size);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
  write_file(folder.path("big.bin"), data);
  const bytes map = tile_entries(16);
  for (const char* name : {"a.lvl", "b.lvl"}) write_file(folder.path(name), extended_map(bitmap(64), {}, map));
  write_file(folder.path("c.lvl"), extended_map(bitmap(64), {{"DATA", text_bytes("old")}}, map));

  const run_result r = run_editor({"--add", "DATA", folder.path("big.bin"), folder.path("a.lvl"), folder.path("b.lvl")});
  const run_result replaced = run_editor({"--replace", "0", folder.path("big.bin"), folder.path("c.lvl")});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  for (const run_result* run : {&r, &replaced}) EXPECT_LE(run->peak_rss_kib, (file_size + file_size / 10) / 1024 + 16 * 1024);
  const bytes expected = extended_map(bitmap(64), {{"DATA", data}}, map);
  for (const char* name : {"a.lvl", "b.lvl", "c.lvl"}) EXPECT_EQ(read_file(folder.path(name)), expected) << name;
}
