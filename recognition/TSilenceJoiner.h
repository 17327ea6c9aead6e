#pragma once
// Joins packets that the ending silence cut apart, where an entry of the library asks for a
// longer silence (<protocol end-silence="ms">) and reads them together: a frame with spaces of
// 7-15 ms inside decodes whole while the packets of every other remote are still cut at the
// decoder's 5 ms. Every packet is decoded on the way. Packets arrive in stream order; one that
// such an entry's frame could begin with (or continue) is handed on once the next arrives later
// than the longest such silence after it, or at Finish; any other is handed on at once. A library
// without end-silence entries hands every packet on at once, decoded as before.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "TSample.h"

class TProtocolRecognition;

class TSilenceJoiner {
 public:
  using TSampleEvent = std::function<void(std::unique_ptr<TSample> Sample)>;

  // Recognition decodes and must outlive the joiner; Rate is the packets' samples per second.
  TSilenceJoiner(TProtocolRecognition& Recognition, uint16_t Rate);
  ~TSilenceJoiner();

  // Takes the next packet of the stream (its StreamIndex set); hands earlier ones on, decoded,
  // through OnSample, and this one too when no entry could join it with the next. A packet
  // without a stream position is decoded and handed on alone.
  void Add(std::unique_ptr<TSample> Sample);
  // The stream holds no packet before StreamIndex (live capture: the processor's QuietUntil):
  // hands on, decoded, the packets held once the quiet after the last of them is as long as
  // the longest silence an entry asks for, so that none waits for a next packet that may never
  // come.
  void QuietUntil(int64_t StreamIndex);
  // Hands on, decoded, every packet still held.
  void Finish();
  // Samples (one stream's packets, in order) decoded and joined as above.
  static std::vector<std::unique_ptr<TSample>> JoinAll(
      TProtocolRecognition& Recognition, uint16_t Rate,
      std::vector<std::unique_ptr<TSample>> Samples);

  // Live capture shown at once: where the newest of Samples (one stream's packets, in order,
  // decoded) and the packets just before it, of its source and closer than the longest silence
  // an entry asks for, are read together by such an entry, replaces them by the joined packet,
  // decoded. Returns the index from which Samples changed; -1 (Samples as they were) when
  // nothing is joined.
  static int JoinNewest(TProtocolRecognition& Recognition, uint16_t Rate,
                        std::vector<std::unique_ptr<TSample>>& Samples);

  TSampleEvent OnSample;

  // Packets held at most while they wait for the next one: a longer run of close packets (noise)
  // is decoded one by one from its start.
  static constexpr size_t MaxHeld = 16;

 private:
  // Samples from the end of Sample's last mark to the trigger of Next; -1 when they cannot be
  // joined (no stream position, a packet not ended by silence, Next not after it).
  int64_t GapSamples(const TSample& Sample, const TSample& Next) const;
  // Stream index where Sample's last mark ends; -1 when it is not ended by silence.
  static int64_t LastMarkEnd(const TSample& Sample);
  // Held_[First..Last] as one packet, QuietAfter samples of quiet known after it; null when it
  // would outgrow a packet's 16-bit positions.
  std::unique_ptr<TSample> Join(size_t First, size_t Last, int64_t QuietAfter) const;
  // Whether Joined's decode reads past Position (samples from its start).
  static bool ReadsInto(const TSample& Joined, int64_t Position);
  // The longest gap between Held_[First..Last], in milliseconds.
  double LongestGapMillis(size_t First, size_t Last) const;
  // The longest silence an entry asks for, in samples.
  int64_t LongestSamples() const;
  // Decodes and hands on every held packet, joined where a patient entry reads them together;
  // QuietAfter samples of quiet follow the last one.
  void Release(int64_t QuietAfter);
  // Decodes Sample unless it is, and hands it on.
  void Deliver(std::unique_ptr<TSample> Sample);

  TProtocolRecognition& Recognition_;
  uint16_t Rate_;
  std::vector<std::unique_ptr<TSample>> Held_;  // close to each other, in stream order
};
