#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "level/edit_chunk.h"
#include "support/status.h"

// The ATTR chunks of an edit by key, so that each --set and --unset costs
// the chunks of its key, not all of them. Keys without '=' name the ATTR
// chunks whose data begin with the key and '=': each chunk has at most one,
// the text before its first '='. Built on first use; an edit that may change
// a chunk's key forgets it.
class key_index {
 public:
  // `longest_key`: the longest key of the edit's operations, so that a
  // chunk's key is read from as many bytes of its data as can matter.
  explicit key_index(std::size_t longest_key) : room_(longest_key + 1) {}

  static bool indexable(const std::string& key) { return key.find('=') == std::string::npos; }

  bool built() const { return built_; }
  void forget() { built_ = false; }
  void take_as_built() { built_ = true; }

  // Indexes every chunk `walk` visits: walk(visit) calls visit(slot, chunk)
  // for each chunk the edit holds, in order, until a visit fails.
  template <typename Walk>
  status build(Walk&& walk) {
    keys_.clear();
    std::string key;
    const status built = walk([&](chunk_slot slot, const chunk_view& chunk) {
      bool has_key = false;
      if (status s = key_of(chunk, key, has_key); !s.is_ok() || !has_key) return s;
      keys_[key].push_back(slot);
      return status::ok();
    });
    built_ = built.is_ok();
    return built;
  }

  // A chunk appended to a built index.
  status note(chunk_slot slot, const chunk_view& chunk);
  // The chunks of `key`, in order; some may have gone since.
  std::vector<chunk_slot>& slots(const std::string& key) { return keys_[key]; }
  void erase(const std::string& key) { keys_.erase(key); }

 private:
  status key_of(const chunk_view& chunk, std::string& key, bool& has_key) const;

  const std::size_t room_;
  std::unordered_map<std::string, std::vector<chunk_slot>> keys_;
  bool built_ = false;
};
