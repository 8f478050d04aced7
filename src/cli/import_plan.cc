#include "cli/import_plan.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

std::vector<attribute_change> import_changes(const attribute_row& row, const std::vector<map_attribute>& map) {
  std::vector<attribute_change> changes;
  if (!row.changes_attrs) return changes;
  std::unordered_map<std::string_view, std::string_view> first;
  for (const map_attribute& a : map) first.emplace(a.key, a.value);
  std::unordered_set<std::string_view> kept;
  for (const auto& [key, value] : row.values) {
    kept.insert(key);
    const auto found = first.find(key);
    if (found == first.end() || found->second != value) changes.push_back({key, value});
  }
  for (const std::string& key : row.blanks) {
    const auto found = first.find(key);
    if (found == first.end() || found->second.empty()) kept.insert(key);
  }
  for (const map_attribute& a : map)
    if (kept.insert(a.key).second) changes.push_back({a.key, std::nullopt});
  return changes;
}
