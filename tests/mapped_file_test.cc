// Input files come back whole, small or large, whether read into a block of
// their own or into a block the caller places.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/mapped_file.h"
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

// A source is opened, checked and left in the file: its bytes are read back
// where they go.
TEST(MappedFile, OpensASourceWithoutReadingIt) {
  temp_folder folder;
  const std::string path = folder.path("input.dat");
  const bytes contents = counting_bytes((std::size_t{2} << 20) + 1);
  write_file(path, contents);
  file_source source;
  std::string why;
  ASSERT_TRUE(mapped_file_open_source(path.c_str(), source, why)) << why;
  const source_closer closer(source);
  ASSERT_EQ(source.length, contents.size());
  bytes tail(5);
  ASSERT_TRUE(file_read_at(source.file, contents.size() - 5, tail).is_ok());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), contents.end() - 5));
  EXPECT_EQ(file_read_at(source.file, contents.size() - 4, tail).why(), shrank_text);
  EXPECT_TRUE(file_source_check_length(source).is_ok());
  write_file(path, bytes(7));
  EXPECT_EQ(file_source_check_length(source).why(), shrank_text);
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

  for (const std::string& path : {folder.path("empty.dat"), folder.root(), folder.path("missing.dat")}) {
    std::string source_why;
    file_source source;
    EXPECT_FALSE(mapped_file_open_source(path.c_str(), source, source_why));
    EXPECT_EQ(source.file, -1);
    EXPECT_EQ(mapped_file_open(path.c_str(), why), nullptr);
    EXPECT_EQ(source_why, why) << path;
  }
}

}  // namespace
