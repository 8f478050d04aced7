#include "lib/map_handle.h"
#include "support/byte_sink.h"

namespace {

// Hands the bytes to the caller's function; its refusal stops the writer.
class callback_sink final : public byte_sink {
 public:
  callback_sink(mg_write_fn* write, void* context) : write_(write), context_(context) {}
  status write(std::span<const std::uint8_t> bytes) override {
    if (write_(context_, bytes.data(), bytes.size()) == 0) return status::ok();
    refused = true;
    return status::failure(error_code::callback, "the write callback failed");
  }
  bool refused = false;

 private:
  mg_write_fn* write_;
  void* context_;
};

}  // namespace

int mg_map_written_size(const mg_map* map, uint64_t* size) {
  if (map == nullptr || size == nullptr) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    counting_sink count;
    null_report quiet;
    // Only the sizes can be refused.
    if (!map->file.write_to(count, quiet).is_ok()) return MG_ERR_TOO_LARGE;
    *size = count.total;
    return MG_OK;
  });
}

int mg_map_write(const mg_map* map, mg_write_fn* write, void* context) {
  if (map == nullptr || write == nullptr) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    if (call_refused(map)) return MG_ERR_ARGUMENT;
    const calling_back_scope scope(map);
    callback_sink out(write, context);
    null_report quiet;
    if (map->file.write_to(out, quiet).is_ok()) return MG_OK;
    return out.refused ? MG_ERR_CALLBACK : MG_ERR_TOO_LARGE;
  });
}
