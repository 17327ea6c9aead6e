#pragma once
// Decodes any input file by its content: an audio recording, or a file of infrared codes
// (Flipper .ir, Pronto Hex, lircd.conf, mode2) whose signals are drawn as clean envelopes.
// Both go through the same signal processor, packet by packet, as live capture does.

#include <memory>
#include <string>
#include <vector>

#include "TRecordingDecoder.h"

class TCodeLibrary;
class TEnvelopeSource;
class TIrFormat;
struct TIrCodeFile;

class TInputDecoder {
 public:
  static constexpr double MaxSignalMicros = 60e6;  // a longer signal is left out
  // The least silence drawn after a code of a captured stream, beyond the ending silence.
  static constexpr double MeasuredGapMarginMicros = 500;
  struct TResult : TRecordingDecoder::TResult {
    const TIrFormat* Format = nullptr;  // the code format read; null for a recording
    // "file:line: reason" for every signal of a code file that was left out.
    std::vector<std::string> Problems;
    // "file:line: note" for lines of a code file that were skipped without losing a code.
    std::vector<std::string> Notes;
  };

  // Library renders Flipper's parsed signals; it is only read, so it may be shared.
  TInputDecoder(TRecordingDecoder::TOptions Options, std::shared_ptr<const TCodeLibrary> Library);

  // Cuts FileName into packets, each with Source = FileName and, from a code file, Name =
  // its signal's name; code files are cut with the options' ending silence. Throws TRecordingError
  // ("name: reason") when the file cannot be read, is neither a recording nor a code file, or none
  // of its codes can be read; the signals that can be read are decoded even when others cannot (see
  // Problems).
  TResult Decode(const std::string& FileName);

  TRecordingDecoder::TSampleEvent OnSample;
  TRecordingDecoder::TProgressEvent OnProgress;

 private:
  TResult DecodeRecording(const std::string& FileName);
  TResult DecodeCodes(const std::string& FileName, const TIrFormat& Format);
  void Draw(const std::string& FileName, const TIrCodeFile& File, TEnvelopeSource& Source,
            std::vector<std::string>& Names, std::vector<std::string>& Problems) const;
  double MeasuredGapMicros() const;
  static void Count(const TRecordingDecoder::TResult& Decoded, TResult& Result);
  static bool LooksLikeText(const std::string& FileName);

  TRecordingDecoder::TOptions Options;
  std::shared_ptr<const TCodeLibrary> Library;
};
