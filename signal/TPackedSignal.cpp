#include "TPackedSignal.h"

#include <zstd.h>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace {
// zstd's fastest level that still entropy-codes: the differences are mostly noise, and coding
// their few frequent values in few bits is what makes them small.
constexpr int CompressionLevel = 1;
const char* const DamagedText = "A packed signal does not unpack to the values packed.";

// The zstd contexts of the calling thread, made on its first use: a context keeps its tables
// from one packet to the next.
class TZstdContexts {
 public:
  TZstdContexts() {
    if (!Compress || !Decompress) throw std::bad_alloc();
    ZSTD_CCtx_setParameter(Compress.get(), ZSTD_c_compressionLevel, CompressionLevel);
    ZSTD_CCtx_setParameter(Compress.get(), ZSTD_c_contentSizeFlag, 0);  // the count is kept
    ZSTD_CCtx_setParameter(Compress.get(), ZSTD_c_checksumFlag, 0);     // memory, not a file
  }
  static TZstdContexts& Mine() {
    thread_local TZstdContexts contexts;
    return contexts;
  }

  std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> Compress{ZSTD_createCCtx(), ZSTD_freeCCtx};
  std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> Decompress{ZSTD_createDCtx(), ZSTD_freeDCtx};
};
}  // namespace

TPackedSignal::TPackedSignal(std::span<const uint8_t> Values)
    : Count(static_cast<uint32_t>(Values.size())) {
  if (Values.empty()) return;
  std::vector<uint8_t> differences(Values.size());
  differences[0] = Values[0];
  for (size_t i = 1; i < Values.size(); ++i)
    differences[i] = static_cast<uint8_t>(Values[i] - Values[i - 1]);
  // Room for one byte less than the values: a frame that does not fit is not worth keeping.
  std::vector<uint8_t> frame(Values.size() - 1);
  const size_t packed = ZSTD_compress2(TZstdContexts::Mine().Compress.get(), frame.data(),
                                       frame.size(), differences.data(), differences.size());
  const bool smaller = !ZSTD_isError(packed);
  ByteCount = smaller ? static_cast<uint32_t>(packed) : Count;
  Bytes = std::make_unique_for_overwrite<uint8_t[]>(ByteCount);
  std::copy_n(smaller ? frame.data() : Values.data(), ByteCount, Bytes.get());
}

void TPackedSignal::Unpack(std::vector<uint8_t>& Out) const {
  Out.resize(Count);
  if (Count == 0) return;
  if (Stored()) {
    std::copy_n(Bytes.get(), ByteCount, Out.data());
    return;
  }
  const size_t unpacked = ZSTD_decompressDCtx(TZstdContexts::Mine().Decompress.get(), Out.data(),
                                              Out.size(), Bytes.get(), ByteCount);
  if (ZSTD_isError(unpacked) || unpacked != Count) throw std::runtime_error(DamagedText);
  for (size_t i = 1; i < Out.size(); ++i) Out[i] = static_cast<uint8_t>(Out[i] + Out[i - 1]);
}
