#include "TMarkText.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {
constexpr size_t ChunkBits = 8;  // texts are kept in chunks of 256 that never move
constexpr size_t ChunkSize = size_t{1} << ChunkBits;
constexpr size_t Chunks = TMarkText::MostTexts / ChunkSize;

// Every text kept so far. A handle is read without a lock: its chunk and text were written
// before the handle was handed out, and neither changes after.
class TTexts {
 public:
  TTexts() { Add(""); }

  uint16_t Find(const std::string& Text) {
    if (Text.empty()) return 0;
    const std::lock_guard<std::mutex> lock(Guard);
    if (const auto found = Ids.find(Text); found != Ids.end()) return found->second;
    if (Count == TMarkText::MostTexts) return 0;
    return Add(Text);
  }

  const std::string& Text(uint16_t Id) const {
    return Chunk[Id >> ChunkBits].load(std::memory_order_acquire)[Id & (ChunkSize - 1)];
  }

 private:
  uint16_t Add(const std::string& Text) {
    const auto id = static_cast<uint16_t>(Count);
    std::atomic<std::string*>& chunk = Chunk[Count >> ChunkBits];
    if (!chunk.load(std::memory_order_relaxed)) {
      Owned[Count >> ChunkBits] = std::make_unique<std::string[]>(ChunkSize);
      chunk.store(Owned[Count >> ChunkBits].get(), std::memory_order_release);
    }
    chunk.load(std::memory_order_relaxed)[Count & (ChunkSize - 1)] = Text;
    Ids.emplace(Text, id);
    ++Count;
    return id;
  }

  std::mutex Guard;
  std::unordered_map<std::string, uint16_t> Ids;
  std::array<std::atomic<std::string*>, Chunks> Chunk{};
  std::array<std::unique_ptr<std::string[]>, Chunks> Owned;
  size_t Count = 0;
};

TTexts& Texts() {
  static TTexts texts;  // built once, thread-safe; lives to the end of the program
  return texts;
}
}  // namespace

TMarkText::TMarkText(const std::string& Text) : Id(Texts().Find(Text)) {}

const std::string& TMarkText::str() const {
  return Texts().Text(Id);
}
