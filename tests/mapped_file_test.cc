// Input files come back whole, small or large, whether read into a block of
// their own or into a block the caller places.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cli/mapped_file.h"
#include "map_builder.h"

namespace {

bytes counting_bytes(std::size_t size) {
  bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
  return b;
}

TEST(MappedFile, SmallAndLargeFilesComeBackWhole) {
  temp_folder folder;
  for (std::size_t size : {std::size_t{1}, std::size_t{4097}, (std::size_t{16} << 20) - 1, (std::size_t{16} << 20) + 3}) {
    SCOPED_TRACE(size);
    const std::string path = folder.path("input.dat");
    const bytes contents = counting_bytes(size);
    write_file(path, contents);
    std::string why;
    mapped_file_ptr file(mapped_file_open(path.c_str(), why));
    ASSERT_TRUE(file) << why;
    const auto view = mapped_file_bytes(file.get());
    ASSERT_EQ(view.size(), size);
    EXPECT_TRUE(std::equal(view.begin(), view.end(), contents.begin()));
  }
}

TEST(MappedFile, ReadsIntoTheBlockThePlacerGives) {
  temp_folder folder;
  for (std::size_t size : {std::size_t{3}, (std::size_t{2} << 20) + 1}) {
    SCOPED_TRACE(size);
    const std::string path = folder.path("input.dat");
    const bytes contents = counting_bytes(size);
    write_file(path, contents);
    bytes out(size + 2, 0xEE);
    std::uint32_t asked = 0;
    std::string why;
    ASSERT_TRUE(mapped_file_read_into(path.c_str(), why, [&](std::uint32_t length) {
      asked = length;
      return out.data() + 1;
    })) << why;
    EXPECT_EQ(asked, size);
    EXPECT_TRUE(std::equal(contents.begin(), contents.end(), out.begin() + 1));
    EXPECT_EQ(out.front(), 0xEE);
    EXPECT_EQ(out.back(), 0xEE);
  }

  // A placer that gives nothing ends the read without a reason.
  std::string why = "untouched";
  EXPECT_FALSE(mapped_file_read_into(folder.path("input.dat").c_str(), why, [](std::uint32_t) { return nullptr; }));
  EXPECT_EQ(why, "untouched");
}

TEST(MappedFile, RefusesWhatCannotBeTakenWhole) {
  temp_folder folder;
  write_file(folder.path("empty.dat"), {});
  std::string why;
  EXPECT_EQ(mapped_file_open(folder.path("empty.dat").c_str(), why), nullptr);
  EXPECT_EQ(why, empty_file_text);
  EXPECT_EQ(mapped_file_open(folder.root().c_str(), why), nullptr);
  EXPECT_EQ(why, not_regular_text);
  EXPECT_EQ(mapped_file_open(folder.path("missing.dat").c_str(), why), nullptr);
  EXPECT_EQ(why, "No such file or directory");

  const auto never = [](std::uint32_t) -> std::uint8_t* {
    ADD_FAILURE() << "placed a refused file";
    return nullptr;
  };
  for (const std::string& path : {folder.path("empty.dat"), folder.root(), folder.path("missing.dat")}) {
    std::string read_why;
    EXPECT_FALSE(mapped_file_read_into(path.c_str(), read_why, never));
    EXPECT_EQ(mapped_file_open(path.c_str(), why), nullptr);
    EXPECT_EQ(read_why, why) << path;
  }
}

}  // namespace
