#pragma once
// The program's own path from audio to decoded packets: PCM is played into a scripted sound
// system, cut into packets by the signal processor and decoded against a protocol library.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PcmRenderer.h"
#include "ProtocolFacts.h"
#include "TMessageQueue.h"
#include "TProtocolRecognition.h"
#include "TScriptedSoundSystem.h"
#include "TSilenceJoiner.h"
#include "TSignalProcessor.h"

struct TDecoded {
  std::string Name;
  TFields Fields;
  std::vector<uint16_t> Pulses;
  bool Likely = false;  // named by the second pass
};

class TDecodeRig {
 public:
  static constexpr uint16_t SampleRate = 48000;
  static constexpr float ToleranceSeconds = 0.00005f;

  // Loads the library at LibraryPath; load messages are kept in Reports. Packets end after
  // EndSilenceMillis of quiet.
  explicit TDecodeRig(const std::string& LibraryPath,
                      double EndSilenceMillis = TDecodeSettings::DefaultEndSilenceMillis);
  // Records Pcm (followed by enough silence to close the last packet) and returns every
  // packet the processor cut from it, decoded, in order.
  std::vector<TDecoded> Run(const std::vector<uint8_t>& Pcm);
  // Cuts packets with Settings (the ending silence above all) from the next Run on.
  void Configure(const TDecodeSettings& Settings) { Processor.Configure(Settings); }

  std::vector<std::string> Reports;
  TProtocolRecognition Recognition;
  // Joins packets that the ending silence cut apart where an entry asks for a longer silence,
  // as vorlent-decode does (TSilenceJoiner); off: every packet is decoded as it is cut.
  bool JoinSilences = false;

 private:
  void Pump();
  void Record(const TSample& Sample);
  std::unique_ptr<TSilenceJoiner> Joiner;

  TMessageQueue Queue;
  TScriptedSoundSystem* Sound = nullptr;
  TSignalProcessor Processor;
  std::vector<TDecoded> Decoded;
};

// "name=value; ..." in hexadecimal, for failure messages and the table.
std::string FieldText(const TFields& Fields);

// Renders Codes one after the other, each followed by its lead-out silence, after a first
// stretch of silence.
constexpr double FirstSilenceUs = 20000;
std::vector<uint8_t> RenderStream(const std::vector<TCode>& Codes,
                                  const TRenderConditions& Conditions, TTestRandom& Random);
