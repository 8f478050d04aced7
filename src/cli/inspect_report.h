#pragma once

#include <unordered_set>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/stdout_report.h"
#include "lib/format_terms.h"

// What mapgraft-inspect makes of the reader's events. Every sink notes the
// damage it is told of; the two that print stream their report as the reader
// walks the map, so a map of millions of chunks never has its report held in
// memory.
class inspect_sink : public report_sink {
 public:
  void report(report_kind kind, std::string_view line) final;
  void chunk(const chunk_found& found) final;
  void damage(const damage_found& found) final;

  bool damaged() const { return damaged_; }

 protected:
  virtual void on_chunk(const chunk_found&) {}
  // `near_chunk` is -1 where no chunk is concerned.
  virtual void on_damage(std::int64_t /*near_chunk*/, std::string_view /*line*/) {}

 private:
  std::int64_t chunks_ = 0;
  bool damaged_ = false;
};

// Takes note of damage, and of where in the input chunk `wanted` is.
class quiet_inspection final : public inspect_sink {
 public:
  explicit quiet_inspection(std::uint64_t wanted = UINT64_MAX) : wanted_(wanted) {}
  void metadata(const metadata_found&) override {}
  // Its record in the input, or null.
  const std::uint8_t* wanted_record() const { return wanted_record_; }

 private:
  void on_chunk(const chunk_found& found) override {
    if (static_cast<std::uint64_t>(found.index) == wanted_) wanted_record_ = found.record;
  }

  std::uint64_t wanted_;
  const std::uint8_t* wanted_record_ = nullptr;
};

// An ATTR chunk read as KEY=VALUE: its data up to the first '=', and after.
struct attribute {
  std::string_view key;
  std::string_view value;
};

// Whether the chunk is an ATTR chunk with a key.
bool attribute_of(const chunk_found& found, attribute& out);

// The first ATTR chunk of each key, in chunk order.
class attribute_inspection final : public inspect_sink {
 public:
  void metadata(const metadata_found&) override {}
  const std::vector<attribute>& attributes() const { return attributes_; }

 private:
  void on_chunk(const chunk_found& found) override;

  std::vector<attribute> attributes_;
  std::unordered_set<std::string_view> seen_;
};

// The text report, one line each.
class text_inspection final : public inspect_sink {
 public:
  void shape(const level_image& image) override;
  void metadata(const metadata_found& found) override;
  // The map line, once the reader is done.
  void finish(const level_image& image);

 private:
  void on_chunk(const chunk_found& found) override;
  void on_damage(std::int64_t near_chunk, std::string_view line) override;

  stdout_report printer_;
};

// One JSON object on one line for the map at `path`. Objects without a value
// are null, so every field is always there.
class json_inspection final : public inspect_sink {
 public:
  explicit json_inspection(std::string_view path) : path_(path) {}
  void shape(const level_image& image) override;
  void metadata(const metadata_found& found) override;
  // Ends the line of a map that was read; `file_length` is the input's.
  void finish(const level_image& image, std::int64_t file_length);
  // The whole line of a map that could not be read.
  void failed(std::string_view why);

 private:
  void on_chunk(const chunk_found& found) override;
  void on_damage(std::int64_t near_chunk, std::string_view line) override;

  std::string_view path_;
  bool in_block_ = false;
  // The first value of each key, and the key as JSON text, by which keys
  // that decode to the same text are one.
  std::vector<std::pair<std::string, attribute>> attributes_;
  std::unordered_set<std::string> seen_keys_;
  bool first_chunk_ = true;
  // The first damage found, for the map's one "damage" object.
  bool damage_noted_ = false;
  std::int64_t damage_chunk_ = -1;
  std::string damage_line_;
};

