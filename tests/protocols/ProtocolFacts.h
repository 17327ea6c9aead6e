#pragma once
// What the tests know about each protocol of the shipped library, written from the protocols'
// published timings (IRP notation and the sources' constants), independently of protocols.xml:
// an encoder per entry that turns input values into the frame a remote sends and the fields the
// decoder must report.

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "IrFrame.h"

using TValues = std::map<std::string, uint32_t>;
using TFields = std::vector<std::pair<std::string, uint32_t>>;

// One frame as sent, the library entry it must decode as, and the fields it must give.
struct TCode {
  std::string Entry;
  TFields Fields;
  TIrFrame Frame;
  double LeadOutUs = 0;  // silence after the frame until the next frame of the same key
};

struct TInput {
  std::string Name;
  int Bits = 0;
  // The values real remotes send, when they keep to fewer than 2^Bits (Pioneer's device codes).
  int Low = 0, High = -1;
};

struct TProtocolFacts {
  std::string Entry;                 // name in protocols.xml
  std::vector<std::string> Sources;  // timing variants, named by the source they follow
  std::vector<TInput> Inputs;  // random codes draw each input from 0 .. 2^Bits - 1 (or Low .. High)
  std::function<TCode(const TValues&, int Source)> Encode;
  // False for codes that a 5 ms packet cut makes unreceivable; null when all are receivable.
  std::function<bool(const TValues&)> Receivable;
  // The frames a remote sends while the key is held (null: the frame three times).
  std::function<std::vector<TCode>(const TValues&, int Source)> Held;
  // Every frame holds a space of 5 ms or more: it arrives whole only with a longer ending
  // silence (10 ms); with 5 ms it is cut into pieces that nothing decodes.
  bool LongSilence = false;
};

// The entries in library order.
const std::vector<TProtocolFacts>& ProtocolCatalogue();
// The facts of Entry; throws std::out_of_range for an unknown name.
const TProtocolFacts& FactsOf(const std::string& Entry);

// The shorter entries that may take a frame of Entry cut short for their own (the cut frame
// is one of their frames): an NEC42 frame cut after 32 bits is an NEC frame.
const std::set<std::string>& PrefixEntriesOf(const std::string& Entry);
// The same on another clock, for likely (tolerant) decodes: a Pioneer frame cut after 16 bits is
// a JVC frame 1.4 % slow, and timing cannot tell the two apart.
const std::set<std::string>& ClockPrefixEntriesOf(const std::string& Entry);
