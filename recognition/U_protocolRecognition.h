#pragma once
// Reads the protocol library (protocols.xml) and decodes packets against it.
// (Interface agreed with the window and the command-line tool; the implementation may add
// private members and helpers but keeps these public names and signatures.)

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "U_sample.h"

class TXmlDocument;  // the XML facility, behind an interface of its own
class TXmlNodeList;

using TReportEvent = std::function<void(const std::string& Text)>;

class TProtocolRecognition {
 public:
  TProtocolRecognition();
  ~TProtocolRecognition();

  // Tolerance := SampleRate x Seconds, in PCM samples. Call after SampleRate is set.
  void SetTolerance(float Seconds);
  // Loads FileName; a missing or malformed file is reported once through OnReport
  // ("Error loading XML document.\rError number: ...") and leaves an empty library.
  void LoadProtocols(const std::string& FileName);
  // Description and link of the first protocol named ProtocolName; "No description
  // available" and "" when there is none. Any name is safe (quotes included).
  void GetDescription(const std::string& ProtocolName, std::string& Url, std::string& Description);
  // Names the protocol of Sample and fills its fields and marks; "unknown" when no
  // definition matches (or Pulses is empty). Never throws on a bad definition.
  void Decode(TSample& Sample);
  // Matches one timing pattern at Cursor; advances Cursor, Remainder and Position on
  // success, changes nothing on failure.
  bool MatchTiming(const std::string& Pattern, uint16_t& Position);

  TReportEvent OnReport;  // receives the load error text; the owner shows it

  std::unique_ptr<TXmlDocument> Document;
  std::unique_ptr<TXmlNodeList> ProtocolNodes;
  uint16_t Cursor = 0;
  uint16_t Remainder = 0;
  const std::vector<uint16_t>* CurrentPulses = nullptr;
  float Tolerance = 0;
  uint16_t SampleRate = 0;
};
