#include "ProtocolFacts.h"

#include <bit>
#include <stdexcept>

namespace {

constexpr bool Lsb = true;
constexpr bool Msb = false;

uint32_t Inv(uint32_t v, int bits) {
  return ~v & ((1u << bits) - 1);
}

// Pulse-distance timing: lead-in, bit mark, 0 and 1 spaces, trailer mark (us).
struct TPulseDistance {
  double Lead, LeadSpace, Mark, Zero, One;
  TShape Z() const { return {Mark, -Zero}; }
  TShape O() const { return {Mark, -One}; }
  TIrFrame Start() const {
    TIrFrame f;
    f.Add({Lead, -LeadSpace});
    return f;
  }
};

TCode Code(std::string entry, TFields fields, TIrFrame frame, double leadOutUs) {
  return {std::move(entry), std::move(fields), std::move(frame), leadOutUs};
}

// Lead-out for a frame period measured start to start.
double Period(const TIrFrame& f, double periodMs) {
  return periodMs * 1000 - f.DurationUs();
}

std::vector<TCode> Repeat(const TCode& first, const TCode& next, int count) {
  std::vector<TCode> codes{first};
  for (int i = 1; i < count; ++i) codes.push_back(next);
  return codes;
}

// ---------------------------------------------------------------- NEC family
// NEC1: {38.4k,564}<1,-1|1,-3>(16,-8,D:8,S:8,F:8,~F:8,1,^108m,(16,-4,1,^108m)*)
const TPulseDistance NecIrmp{9000, 4500, 560, 560, 1690};  // IRMP, Linux, SB-Projects
const TPulseDistance NecIrp{9024, 4512, 564, 564, 1692};   // IRP, 564 us unit
const TPulseDistance& Nec(int source) {
  return source == 0 ? NecIrmp : NecIrp;
}

TCode NecDitto(int source) {
  const TPulseDistance& t = Nec(source);
  TIrFrame f;
  f.Add({t.Lead, -t.LeadSpace / 2, t.Mark});
  return Code("NEC repeat", {}, f, Period(f, 108));
}

TCode NecFrame(const TValues& v, int source) {
  const TPulseDistance& t = Nec(source);
  const uint32_t d = v.at("address"), s = v.at("address_inv"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 8, Lsb, t.Z(), t.O()).Bits(s, 8, Lsb, t.Z(), t.O());
  f.Bits(c, 8, Lsb, t.Z(), t.O()).Bits(Inv(c, 8), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code("NEC",
              {{"address", d}, {"address_inv", s}, {"command", c}, {"command_inv", Inv(c, 8)}}, f,
              Period(f, 108));
}

// Aiwa / NEC42: (16,-8,D:8,S:5,~D:8,~S:5,F:8,~F:8,1,-42,(16,-8,1,-165)*), 562.5 us unit
// (Linux, IRMP); IRP's 550 us unit is not covered by the library.
const TPulseDistance Nec42Linux{9000, 4500, 562.5, 562.5, 1687.5};
const TPulseDistance& Nec42(int source) {
  return source == 0 ? Nec42Linux : NecIrmp;
}

TCode Nec42Frame(const TValues& v, int source) {
  const TPulseDistance& t = Nec42(source);
  const uint32_t a = v.at("address"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(a, 13, Lsb, t.Z(), t.O()).Bits(Inv(a, 13), 13, Lsb, t.Z(), t.O());
  f.Bits(c, 8, Lsb, t.Z(), t.O()).Bits(Inv(c, 8), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code(
      "NEC42",
      {{"address", a}, {"address_inv", Inv(a, 13)}, {"command", c}, {"command_inv", Inv(c, 8)}}, f,
      42 * 562.5);
}

TCode Nec42Ditto(int source) {
  const TPulseDistance& t = Nec42(source);
  TIrFrame f = t.Start();
  f.Add(t.Mark);
  return Code("NEC42 repeat", {}, f, 165 * 562.5);
}

// Apple: NEC1 framing, D = 0xEE, S = 0x87, C:1 = 1 - parity, F:7, PairID:8.
TCode AppleFrame(const TValues& v, int source) {
  const TPulseDistance& t = source == 0 ? NecIrp : NecIrmp;
  const uint32_t d = 0xEE, s = 0x87, c = v.at("command"), p = v.at("pair_id");
  const uint32_t parity =
      1 - (std::popcount(d) + std::popcount(s) + std::popcount(c) + std::popcount(p)) % 2;
  TIrFrame f = t.Start();
  f.Bits(d, 8, Lsb, t.Z(), t.O()).Bits(s, 8, Lsb, t.Z(), t.O()).Bits(parity, 1, Lsb, t.Z(), t.O());
  f.Bits(c, 7, Lsb, t.Z(), t.O()).Bits(p, 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code("Apple", {{"parity", parity}, {"command", c}, {"pair_id", p}}, f, Period(f, 108));
}

// LG28 (Arduino-IRremote): 9000/4200, 500+550 / 500+1580, MSB first D:8, F:16, C:4.
TCode Lg28Frame(const TValues& v, int) {
  const TPulseDistance t{9000, 4200, 500, 550, 1580};
  const uint32_t d = v.at("address"), c = v.at("command");
  const uint32_t sum = ((c & 15) + ((c >> 4) & 15) + ((c >> 8) & 15) + (c >> 12)) & 15;
  TIrFrame f = t.Start();
  f.Bits(d, 8, Msb, t.Z(), t.O()).Bits(c, 16, Msb, t.Z(), t.O()).Bits(sum, 4, Msb, t.Z(), t.O());
  f.Add(t.Mark);
  return Code("LG28", {{"address", d}, {"command", c}, {"checksum", sum}}, f, Period(f, 108));
}

// Pioneer: NEC frame on a 533.3 us unit (480 kHz resonator), whole frames every 108 ms.
TCode PioneerFrame(const TValues& v, int) {
  const double u = 1600.0 / 3;
  const TPulseDistance t{16 * u, 8 * u, u, u, 3 * u};
  const uint32_t d = v.at("address"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 8, Lsb, t.Z(), t.O()).Bits(Inv(d, 8), 8, Lsb, t.Z(), t.O());
  f.Bits(c, 8, Lsb, t.Z(), t.O()).Bits(Inv(c, 8), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code(
      "Pioneer",
      {{"address", d}, {"address_inv", Inv(d, 8)}, {"command", c}, {"command_inv", Inv(c, 8)}}, f,
      Period(f, 108));
}

// Kathrein: {38k,540}<1,-1|1,-3>(16,-8,D:4,~D:4,F:8,~F:8,1,^105m,(16,-8,F:8,1,^105m)+)
const TPulseDistance Kathrein{8640, 4320, 540, 540, 1620};

TCode KathreinFrame(const TValues& v, int) {
  const TPulseDistance& t = Kathrein;
  const uint32_t d = v.at("address"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 4, Lsb, t.Z(), t.O()).Bits(Inv(d, 4), 4, Lsb, t.Z(), t.O());
  f.Bits(c, 8, Lsb, t.Z(), t.O()).Bits(Inv(c, 8), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code(
      "Kathrein",
      {{"address", d}, {"address_inv", Inv(d, 4)}, {"command", c}, {"command_inv", Inv(c, 8)}}, f,
      Period(f, 105));
}

TCode KathreinDitto(const TValues& v, int) {
  const TPulseDistance& t = Kathrein;
  TIrFrame f = t.Start();
  f.Bits(v.at("command"), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code("Kathrein repeat", {{"command", v.at("command")}}, f, Period(f, 105));
}

// JVC: (16,-8,D:8,F:8,1,^59.08m,(D:8,F:8,1,^46.42m)*); 526 us (SB-Projects) or 527 (IRP).
const TPulseDistance JvcSbp{8400, 4200, 526, 526, 1578};
const TPulseDistance JvcIrp{8432, 4216, 527, 527, 1581};

TCode JvcFrame(const TValues& v, int source, bool leadIn) {
  const TPulseDistance& t = source == 0 ? JvcSbp : JvcIrp;
  const uint32_t d = v.at("address"), c = v.at("command");
  TIrFrame f = leadIn ? t.Start() : TIrFrame();
  f.Bits(d, 8, Lsb, t.Z(), t.O()).Bits(c, 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code(leadIn ? "JVC" : "JVC (no lead-in)", {{"address", d}, {"command", c}}, f,
              Period(f, leadIn ? 59.08 : 46.42));
}

// Samsung32 / NECx: (8,-8,D:8,S:8,F:8,~F:8,1,^108m); Arduino-IRremote 4500/560, IRP 564 unit.
const TPulseDistance SamsungIrr{4500, 4500, 560, 560, 1690};
const TPulseDistance SamsungIrp{4512, 4512, 564, 564, 1692};

TCode Samsung32Frame(const TValues& v, int source) {
  const TPulseDistance& t = source == 0 ? SamsungIrr : SamsungIrp;
  const uint32_t d = v.at("address"), s = v.at("subdevice"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 8, Lsb, t.Z(), t.O()).Bits(s, 8, Lsb, t.Z(), t.O());
  f.Bits(c, 8, Lsb, t.Z(), t.O()).Bits(Inv(c, 8), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code("Samsung32",
              {{"address", d}, {"subdevice", s}, {"command", c}, {"command_inv", Inv(c, 8)}}, f,
              Period(f, 108));
}

// Samsung36: {37.9k,560}<1,-1|1,-3>(4500u,-4500u,D:8,S:8,1,-9,E:4,F:8,~F:8,1,^108m)
TCode Samsung36Frame(const TValues& v, int) {
  const TPulseDistance t{4500, 4500, 560, 560, 1690};
  const uint32_t d = v.at("address"), s = v.at("subdevice"), e = v.at("extended"),
                 c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 8, Lsb, t.Z(), t.O()).Bits(s, 8, Lsb, t.Z(), t.O()).Add({t.Mark, -9 * t.Mark});
  f.Bits(e, 4, Lsb, t.Z(), t.O()).Bits(c, 8, Lsb, t.Z(), t.O());
  f.Bits(Inv(c, 8), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code("Samsung36",
              {{"address", d},
               {"subdevice", s},
               {"extended", e},
               {"command", c},
               {"command_inv", Inv(c, 8)}},
              f, Period(f, 108));
}

// Samsung20: {38.4k,564}<1,-1|1,-3>(8,-8,D:6,S:6,F:8,1,^100m)
TCode Samsung20Frame(const TValues& v, int) {
  const TPulseDistance& t = SamsungIrp;
  const uint32_t d = v.at("address"), s = v.at("subdevice"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 6, Lsb, t.Z(), t.O()).Bits(s, 6, Lsb, t.Z(), t.O()).Bits(c, 8, Lsb, t.Z(), t.O());
  f.Add(t.Mark);
  return Code("Samsung20", {{"address", d}, {"subdevice", s}, {"command", c}}, f, Period(f, 100));
}

// Sony SIRC: {40k,600}<1,-1|2,-1>(4,-1,F:7,D:n[,S:8],^45m)
TCode SonyFrame(const TValues& v, int bits) {
  const TShape zero{600, -600}, one{1200, -600};
  const uint32_t c = v.at("command"), d = v.at("address");
  TIrFrame f;
  f.Add({2400, -600}).Bits(c, 7, Lsb, zero, one).Bits(d, bits == 15 ? 8 : 5, Lsb, zero, one);
  TFields fields{{"command", c}, {"address", d}};
  if (bits == 20) {
    f.Bits(v.at("subdevice"), 8, Lsb, zero, one);
    fields.push_back({"subdevice", v.at("subdevice")});
  }
  return Code("Sony" + std::to_string(bits), fields, f, Period(f, 45));
}

// ---------------------------------------------------------------- bi-phase
// RC5: {36k,msb,889}<1,-1|-1,1>(1,~F:1:6,T:1,D:5,F:6,^114m)
const TShape Rc5Zero{889, -889}, Rc5One{-889, 889};

TCode Rc5Frame(const TValues& v, int) {
  const uint32_t d = v.at("address"), c = v.at("command"), t = v.at("toggle");
  const uint32_t field = 1 - (c >> 6);
  TIrFrame f;
  f.Add(Rc5One).Bits(field, 1, Msb, Rc5Zero, Rc5One).Bits(t, 1, Msb, Rc5Zero, Rc5One);
  f.Bits(d, 5, Msb, Rc5Zero, Rc5One).Bits(c & 63, 6, Msb, Rc5Zero, Rc5One);
  return Code("RC5", {{"field", field}, {"toggle", t}, {"address", d}, {"command", c & 63}}, f,
              Period(f, 114));
}

// RC5x: (1,~S:1:6,T:1,D:5,-4,S:6,F:6,^114m); S is the command, F the data.
TCode Rc5xFrame(const TValues& v, int) {
  const uint32_t d = v.at("address"), c = v.at("command"), t = v.at("toggle"), data = v.at("data");
  const uint32_t field = 1 - (c >> 6);
  TIrFrame f;
  f.Add(Rc5One).Bits(field, 1, Msb, Rc5Zero, Rc5One).Bits(t, 1, Msb, Rc5Zero, Rc5One);
  f.Bits(d, 5, Msb, Rc5Zero, Rc5One).Add(-4 * 889);
  f.Bits(c & 63, 6, Msb, Rc5Zero, Rc5One).Bits(data, 6, Msb, Rc5Zero, Rc5One);
  return Code(
      "RC5X",
      {{"field", field}, {"toggle", t}, {"address", d}, {"command", c & 63}, {"data", data}}, f,
      Period(f, 114));
}

// The pause merges with a space on both sides (last address bit 0, first command bit 1) into
// 5.3 ms, which ends the packet.
bool Rc5xReceivable(const TValues& v) {
  return !((v.at("address") & 1) == 0 && ((v.at("command") >> 5) & 1) == 1);
}

// RC6: {36k,444,msb}<-1,1|1,-1>(6,-2,1:1,M:3,<-2,2|2,-2>(T:1),...)
const double Rc6Unit = 444;
const TShape Rc6Zero{-Rc6Unit, Rc6Unit}, Rc6One{Rc6Unit, -Rc6Unit};

TIrFrame Rc6Header(uint32_t mode, uint32_t trailer) {
  TIrFrame f;
  f.Add({6 * Rc6Unit, -2 * Rc6Unit}).Add(Rc6One).Bits(mode, 3, Msb, Rc6Zero, Rc6One);
  f.Add(trailer ? TShape{2 * Rc6Unit, -2 * Rc6Unit} : TShape{-2 * Rc6Unit, 2 * Rc6Unit});
  return f;
}

TCode Rc6Mode0(const TValues& v, int, uint32_t toggle) {
  const uint32_t d = v.at("address"), c = v.at("command");
  TIrFrame f = Rc6Header(0, toggle);
  f.Bits(d, 8, Msb, Rc6Zero, Rc6One).Bits(c, 8, Msb, Rc6Zero, Rc6One);
  return Code(toggle ? "RC6-0-16 T1" : "RC6-0-16 T0", {{"address", d}, {"command", c}}, f,
              Period(f, 107));
}

// MCE: (6,-2,1:1,6:3,-2,2,OEM1:8,S:8,T:1,D:7,F:8,^107m) {OEM1=128}
TCode MceFrame(const TValues& v, int) {
  const uint32_t oem2 = v.at("oem2"), t = v.at("toggle"), d = v.at("address"), c = v.at("command");
  TIrFrame f = Rc6Header(6, 0);
  f.Bits(128, 8, Msb, Rc6Zero, Rc6One).Bits(oem2, 8, Msb, Rc6Zero, Rc6One);
  f.Bits(t, 1, Msb, Rc6Zero, Rc6One).Bits(d, 7, Msb, Rc6Zero, Rc6One);
  f.Bits(c, 8, Msb, Rc6Zero, Rc6One);
  return Code("MCE", {{"oem1", 128}, {"oem2", oem2}, {"toggle", t}, {"address", d}, {"command", c}},
              f, Period(f, 107));
}

// RC6-6-20: (6,-2,1:1,6:3,<-2,2|2,-2>(T:1),D:8,S:4,F:8,-100m), T always 0.
TCode Rc6620Frame(const TValues& v, int) {
  const uint32_t d = v.at("address"), s = v.at("subdevice"), c = v.at("command");
  TIrFrame f = Rc6Header(6, 0);
  f.Bits(d, 8, Msb, Rc6Zero, Rc6One).Bits(s, 4, Msb, Rc6Zero, Rc6One);
  f.Bits(c, 8, Msb, Rc6Zero, Rc6One);
  return Code("RC6-6-20", {{"address", d}, {"subdevice", s}, {"command", c}}, f, 100000);
}

// NRC17: {500,38k,25%}<-1,1|1,-1>(1,-5,1:1,F:8,D:8,-220); D = address + 16 * subcode.
TIrFrame Nrc17Frame(uint32_t command, uint32_t d) {
  const TShape zero{-500, 500}, one{500, -500};
  TIrFrame f;
  f.Add({500, -2500}).Add(one).Bits(command, 8, Lsb, zero, one).Bits(d, 8, Lsb, zero, one);
  return f;
}

TCode Nrc17Code(uint32_t command, uint32_t address, uint32_t subcode, double leadOutUs) {
  return Code("NRC17", {{"command", command}, {"address", address}, {"subcode", subcode}},
              Nrc17Frame(command, address | subcode << 4), leadOutUs);
}

// Grundig (IRMP): 528/2639 pre-pulse, start bit 1, command 9 bits LSB, 1 = mark first.
TCode GrundigCode(uint32_t command, double leadOutUs) {
  const TShape zero{-528, 528}, one{528, -528};
  TIrFrame f;
  f.Add({528, -2639}).Add(one).Bits(command, 9, Lsb, zero, one);
  return Code("Grundig", {{"command", command}}, f, leadOutUs);
}

// ---------------------------------------------------------------- Kaseikyo
// {37k,432}<1,-1|1,-3>(8,-4,M:8,N:8,...,1,-173)
const TPulseDistance Kaseikyo{3456, 1728, 432, 432, 1296};

TIrFrame KaseikyoFrame(const std::vector<std::pair<uint32_t, int>>& parts) {
  const TPulseDistance& t = Kaseikyo;
  TIrFrame f = t.Start();
  for (const auto& [value, width] : parts) f.Bits(value, width, Lsb, t.Z(), t.O());
  f.Add(t.Mark);
  return f;
}

TCode PanasonicLike(const std::string& entry, uint32_t m, uint32_t n, const TValues& v) {
  const uint32_t d = v.at("address"), s = v.at("subdevice"), c = v.at("command");
  const uint32_t x = d ^ s ^ c;
  return Code(entry, {{"address", d}, {"subdevice", s}, {"command", c}, {"checksum", x}},
              KaseikyoFrame({{m, 8}, {n, 8}, {d, 8}, {s, 8}, {c, 8}, {x, 8}}), 173 * 432.0);
}

TCode DenonK(const TValues& v, int) {
  const uint32_t d = v.at("address"), s = v.at("subdevice"), c = v.at("command");
  const uint32_t x = ((d << 4) ^ s ^ (c << 4) ^ (c >> 4)) & 0xFF;
  return Code("Denon-K", {{"address", d}, {"subdevice", s}, {"command", c}, {"checksum", x}},
              KaseikyoFrame({{84, 8}, {50, 8}, {0, 4}, {d, 4}, {s, 4}, {c, 12}, {x, 8}}),
              173 * 432.0);
}

TCode MitsubishiK(const TValues& v, int) {
  const uint32_t d = v.at("address"), s = v.at("subdevice"), c = v.at("command");
  const uint32_t x = (15u - (s & 15) - (s >> 4) - (c & 15) - (c >> 4)) & 15;
  return Code("Mitsubishi-K", {{"address", d}, {"subdevice", s}, {"command", c}, {"checksum", x}},
              KaseikyoFrame({{35, 8}, {203, 8}, {6, 4}, {d, 8}, {s, 8}, {c, 8}, {x, 4}}),
              100 * 432.0);
}

TCode Fujitsu(const TValues& v, int) {
  const uint32_t e = v.at("extended"), d = v.at("address"), s = v.at("subdevice"),
                 c = v.at("command");
  return Code("Fujitsu", {{"extended", e}, {"address", d}, {"subdevice", s}, {"command", c}},
              KaseikyoFrame({{20, 8}, {99, 8}, {0, 4}, {e, 4}, {d, 8}, {s, 8}, {c, 8}}),
              110 * 432.0);
}

// Vendor codes that have their own entry before the generic one.
bool IsKnownKaseikyoVendor(uint32_t vendor) {
  for (uint32_t known : {0x2002u, 0x3254u, 0x0103u, 0xCB23u, 0x6314u})
    if (vendor == known) return true;
  return false;
}

TCode KaseikyoGeneric(const TValues& v, int) {
  const uint32_t vendor = v.at("vendor"), d = v.at("address"), s = v.at("subdevice"),
                 c = v.at("command"), e = v.at("extended");
  const uint32_t mn = (vendor & 0xFF) ^ (vendor >> 8);
  const uint32_t x = ((mn >> 4) ^ mn) & 15;
  const uint32_t sum = d ^ s ^ c ^ (e << 4);
  const uint32_t check = ((sum >> 4) ^ sum) & 15;
  return Code("Kaseikyo",
              {{"vendor", vendor},
               {"vendor_parity", x},
               {"address", d},
               {"subdevice", s},
               {"command", c},
               {"extended", e},
               {"checksum", check}},
              KaseikyoFrame({{vendor, 16}, {x, 4}, {d, 4}, {s, 8}, {c, 8}, {e, 4}, {check, 4}}),
              173 * 432.0);
}

// ---------------------------------------------------------------- no lead-in, others
// Sharp / Denon: {38k,264}<1,-3|1,-7>(D:5,F:8,X:2,1,^67m)
TCode SharpDenon(const std::string& entry, uint32_t frameBits, bool inverted, const TValues& v) {
  const TShape zero{264, -792}, one{264, -1848};
  const uint32_t d = v.at("address"), c = inverted ? Inv(v.at("command"), 8) : v.at("command");
  TIrFrame f;
  f.Bits(d, 5, Lsb, zero, one).Bits(c, 8, Lsb, zero, one).Bits(frameBits, 2, Lsb, zero, one);
  f.Add(264);
  return Code(entry, {{"address", d}, {inverted ? "command_inv" : "command", c}}, f, Period(f, 67));
}

std::vector<TCode> SharpDenonHeld(const std::string& entry, uint32_t first, uint32_t second,
                                  const TValues& v) {
  const TCode a = SharpDenon(entry, first, false, v);
  const TCode b = SharpDenon(entry + " (2nd frame)", second, true, v);
  return {a, b, a, b};
}

// Mitsubishi: {32.6k,300}<1,-3|1,-7>(D:8,F:8,1,-80)
TCode MitsubishiFrame(const TValues& v, int) {
  const TShape zero{300, -900}, one{300, -2100};
  const uint32_t d = v.at("address"), c = v.at("command");
  TIrFrame f;
  f.Bits(d, 8, Lsb, zero, one).Bits(c, 8, Lsb, zero, one).Add(300);
  return Code("Mitsubishi", {{"address", d}, {"command", c}}, f, 80 * 300.0);
}

// Emerson (IRP) = Matsushita (IRMP): 3488/3488, 872+872 / 872+2616, 24 bits LSB: D:6, F:6,
// ~D:6, ~F:6; frames 40 ms apart.
TCode EmersonFrame(const TValues& v, int) {
  const TPulseDistance t{3488, 3488, 872, 872, 2616};
  const uint32_t d = v.at("address"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 6, Lsb, t.Z(), t.O()).Bits(c, 6, Lsb, t.Z(), t.O());
  f.Bits(Inv(d, 6), 6, Lsb, t.Z(), t.O()).Bits(Inv(c, 6), 6, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code(
      "Emerson",
      {{"address", d}, {"command", c}, {"address_inv", Inv(d, 6)}, {"command_inv", Inv(c, 6)}}, f,
      40000);
}

// RCA (SB-Projects): 4000/4000, 500+1000 / 500+2000, MSB D:4, F:8, ~D:4, ~F:8, 1, -16 units.
TCode RcaFrame(const TValues& v, int) {
  const TPulseDistance t{4000, 4000, 500, 1000, 2000};
  const uint32_t d = v.at("address"), c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(d, 4, Msb, t.Z(), t.O()).Bits(c, 8, Msb, t.Z(), t.O());
  f.Bits(Inv(d, 4), 4, Msb, t.Z(), t.O()).Bits(Inv(c, 8), 8, Msb, t.Z(), t.O()).Add(t.Mark);
  return Code(
      "RCA",
      {{"address", d}, {"command", c}, {"address_inv", Inv(d, 4)}, {"command_inv", Inv(c, 8)}}, f,
      16 * 500.0);
}

// Thomson: 12 bits MSB (IRMP): D:4, T:1, F:7; 0 = mark+2000, 1 = mark+4500; mark 500 (IRP)
// or 550 (IRMP); period 80 ms.
TCode ThomsonFrame(const TValues& v, int source) {
  const double m = source == 0 ? 500 : 550;
  const TShape zero{m, -2000}, one{m, -4500};
  const uint32_t d = v.at("address"), t = v.at("toggle"), c = v.at("command");
  TIrFrame f;
  f.Bits(d << 8 | t << 7 | c, 12, Msb, zero, one).Add(m);
  return Code("Thomson", {{"address", d}, {"toggle", t}, {"command", c}}, f, Period(f, 80));
}

// Bose: Arduino-IRremote 1014/1468, 520+468 / 520+1468; IRP 1000/1500, 500+500 / 500+1500.
TCode BoseFrame(const TValues& v, int source) {
  const TPulseDistance t = source == 0 ? TPulseDistance{1014, 1468, 520, 468, 1468}
                                       : TPulseDistance{1000, 1500, 500, 500, 1500};
  const uint32_t c = v.at("command");
  TIrFrame f = t.Start();
  f.Bits(c, 8, Lsb, t.Z(), t.O()).Bits(Inv(c, 8), 8, Lsb, t.Z(), t.O()).Add(t.Mark);
  return Code("Bose", {{"command", c}, {"command_inv", Inv(c, 8)}}, f, 50000);
}

// Dish Network: {57.6k,406}<1,-7|1,-4>(1,-15,(F:-6,S:5,D:5,1,-15)+). The library swaps the bit
// patterns (its 1 is IRP's 0), so it reports the complements.
TCode DishFrame(const TValues& v, int) {
  const double u = 406;
  const TShape zero{u, -7 * u}, one{u, -4 * u};
  const uint32_t c = v.at("command"), s = v.at("subdevice"), d = v.at("address");
  TIrFrame f;
  f.Add({u, -15 * u}).Bits(c, 6, Msb, zero, one).Bits(s, 5, Lsb, zero, one);
  f.Bits(d, 5, Lsb, zero, one).Add({u, -15 * u});
  return Code(
      "Dish Network",
      {{"command_inv", Inv(c, 6)}, {"subdevice_inv", Inv(s, 5)}, {"address_inv", Inv(d, 5)}}, f,
      50000);
}

// Velleman {38k,msb}<700,-5060|700,-7590>(1:1,T:1,D:3,F:6,700,-55m) and
// RECS80 {38k,158,msb}<1,-31|1,-47>(1:1,T:1,D:3,F:6,1,-45m).
TCode StartBitFrame(const std::string& entry, double mark, double zero, double one,
                    double leadOutUs, const TValues& v) {
  const TShape z{mark, -zero}, o{mark, -one};
  const uint32_t t = v.at("toggle"), d = v.at("address"), c = v.at("command");
  TIrFrame f;
  f.Add(o).Bits(t, 1, Msb, z, o).Bits(d, 3, Msb, z, o).Bits(c, 6, Msb, z, o).Add(mark);
  return Code(entry, {{"toggle", t}, {"address", d}, {"command", c}}, f, leadOutUs);
}

std::vector<TProtocolFacts> Build() {
  std::vector<TProtocolFacts> all;
  using TEncode = decltype(TProtocolFacts::Encode);
  using TReceivable = decltype(TProtocolFacts::Receivable);
  using THeld = decltype(TProtocolFacts::Held);
  auto add = [&](std::string entry, std::vector<std::string> sources, std::vector<TInput> inputs,
                 TEncode encode, TReceivable receivable = nullptr, THeld held = nullptr) {
    all.push_back({std::move(entry), std::move(sources), std::move(inputs), std::move(encode),
                   std::move(receivable), std::move(held)});
  };
  auto addLong = [&](std::string entry, std::vector<TInput> inputs, TEncode encode) {
    add(std::move(entry), {"IRP"}, std::move(inputs), std::move(encode));
    all.back().LongSilence = true;
  };
  const std::vector<std::string> one{"nominal"};

  add("NEC42", {"562.5 (Linux)", "560 (IRMP)"}, {{"address", 13}, {"command", 8}}, Nec42Frame,
      nullptr, [](const TValues& v, int s) { return Repeat(Nec42Frame(v, s), Nec42Ditto(s), 3); });
  add("Apple", {"564 (IRP)", "560 (IRMP)"}, {{"command", 7}, {"pair_id", 8}}, AppleFrame, nullptr,
      [](const TValues& v, int s) {
        return Repeat(AppleFrame(v, s), NecDitto(s == 0 ? 1 : 0), 3);
      });
  add("NEC", {"560 (IRMP)", "564 (IRP)"}, {{"address", 8}, {"address_inv", 8}, {"command", 8}},
      NecFrame, nullptr,
      [](const TValues& v, int s) { return Repeat(NecFrame(v, s), NecDitto(s), 3); });
  add("NEC42 repeat", {"562.5 (Linux)", "560 (IRMP)"}, {},
      [](const TValues&, int s) { return Nec42Ditto(s); });
  add("NEC repeat", {"560 (IRMP)", "564 (IRP)"}, {},
      [](const TValues&, int s) { return NecDitto(s); });
  add("LG28", {"Arduino-IRremote"}, {{"address", 8}, {"command", 16}}, Lg28Frame, nullptr,
      [](const TValues& v, int s) { return Repeat(Lg28Frame(v, s), NecDitto(0), 2); });
  add("Pioneer", {"533.3 us unit"}, {{"address", 8, 0xA0, 0xAF}, {"command", 8}}, PioneerFrame);
  add("Kathrein", {"IRP"}, {{"address", 4}, {"command", 8}}, KathreinFrame, nullptr,
      [](const TValues& v, int s) { return Repeat(KathreinFrame(v, s), KathreinDitto(v, s), 3); });
  add(
      "JVC", {"526 (SB-Projects)", "527 (IRP)"}, {{"address", 8}, {"command", 8}},
      [](const TValues& v, int s) { return JvcFrame(v, s, true); }, nullptr,
      [](const TValues& v, int s) {
        return Repeat(JvcFrame(v, s, true), JvcFrame(v, s, false), 4);
      });
  add("Kathrein repeat", {"IRP"}, {{"command", 8}}, KathreinDitto);
  addLong("Samsung36", {{"address", 8}, {"subdevice", 8}, {"extended", 4}, {"command", 8}},
          Samsung36Frame);
  add("Samsung32", {"Arduino-IRremote", "564 (IRP)"},
      {{"address", 8}, {"subdevice", 8}, {"command", 8}}, Samsung32Frame);
  add("Samsung20", {"IRP"}, {{"address", 6}, {"subdevice", 6}, {"command", 8}}, Samsung20Frame);
  add("Sony20", one, {{"command", 7}, {"address", 5}, {"subdevice", 8}},
      [](const TValues& v, int) { return SonyFrame(v, 20); });
  add("Sony15", one, {{"command", 7}, {"address", 8}},
      [](const TValues& v, int) { return SonyFrame(v, 15); });
  add("Sony12", one, {{"command", 7}, {"address", 5}},
      [](const TValues& v, int) { return SonyFrame(v, 12); });
  add("RC5X", one, {{"address", 5}, {"command", 7}, {"data", 6}, {"toggle", 1}}, Rc5xFrame,
      Rc5xReceivable);
  add("RC5", one, {{"address", 5}, {"command", 7}, {"toggle", 1}}, Rc5Frame);
  add("MCE", one, {{"oem2", 8}, {"toggle", 1}, {"address", 7}, {"command", 8}}, MceFrame);
  add("RC6-6-20", one, {{"address", 8}, {"subdevice", 4}, {"command", 8}}, Rc6620Frame);
  add("RC6-0-16 T0", one, {{"address", 8}, {"command", 8}},
      [](const TValues& v, int s) { return Rc6Mode0(v, s, 0); });
  add("RC6-0-16 T1", one, {{"address", 8}, {"command", 8}},
      [](const TValues& v, int s) { return Rc6Mode0(v, s, 1); });
  const std::vector<TInput> dsfc{{"address", 8}, {"subdevice", 8}, {"command", 8}};
  add("Panasonic", one, dsfc,
      [](const TValues& v, int) { return PanasonicLike("Panasonic", 0x02, 0x20, v); });
  add("Denon-K", one, {{"address", 4}, {"subdevice", 4}, {"command", 12}}, DenonK);
  add("JVC-48", one, dsfc,
      [](const TValues& v, int) { return PanasonicLike("JVC-48", 0x03, 0x01, v); });
  add("Mitsubishi-K", one, dsfc, MitsubishiK);
  add("Fujitsu", one, {{"extended", 4}, {"address", 8}, {"subdevice", 8}, {"command", 8}}, Fujitsu);
  add("Kaseikyo", one,
      {{"vendor", 16}, {"address", 4}, {"subdevice", 8}, {"command", 8}, {"extended", 4}},
      KaseikyoGeneric, [](const TValues& v) { return !IsKnownKaseikyoVendor(v.at("vendor")); });
  add("Emerson", {"IRMP"}, {{"address", 6}, {"command", 6}}, EmersonFrame);
  add("RCA", {"SB-Projects"}, {{"address", 4}, {"command", 8}}, RcaFrame);
  const std::vector<TInput> sharpInputs{{"address", 5}, {"command", 8}};
  add(
      "Sharp", {"264 (IRP, manuals)"}, sharpInputs,
      [](const TValues& v, int) { return SharpDenon("Sharp", 1, false, v); }, nullptr,
      [](const TValues& v, int) { return SharpDenonHeld("Sharp", 1, 2, v); });
  add("Sharp (2nd frame)", {"264 (IRP, manuals)"}, sharpInputs,
      [](const TValues& v, int) { return SharpDenon("Sharp (2nd frame)", 2, true, v); });
  add(
      "Denon", {"264 (IRP, Pronto)"}, sharpInputs,
      [](const TValues& v, int) { return SharpDenon("Denon", 0, false, v); }, nullptr,
      [](const TValues& v, int) { return SharpDenonHeld("Denon", 0, 3, v); });
  add("Denon (2nd frame)", {"264 (IRP, Pronto)"}, sharpInputs,
      [](const TValues& v, int) { return SharpDenon("Denon (2nd frame)", 3, true, v); });
  add("Mitsubishi", {"IRP"}, {{"address", 8}, {"command", 8}}, MitsubishiFrame);
  add("Thomson", {"500 (IRP)", "550 (IRMP)"}, {{"address", 4}, {"toggle", 1}, {"command", 7}},
      ThomsonFrame);
  add("Bose", {"Arduino-IRremote", "IRP"}, {{"command", 8}}, BoseFrame);
  addLong("Dish Network", {{"command", 6}, {"subdevice", 5}, {"address", 5}}, DishFrame);
  const std::vector<TInput> startBitInputs{{"toggle", 1}, {"address", 3}, {"command", 6}};
  addLong("Velleman", startBitInputs, [](const TValues& v, int) {
    return StartBitFrame("Velleman", 700, 5060, 7590, 55000, v);
  });
  addLong("RECS80", startBitInputs, [](const TValues& v, int) {
    return StartBitFrame("RECS80", 158, 31 * 158, 47 * 158, 45000, v);
  });
  add(
      "NRC17", {"SB-Projects"}, {{"command", 8}, {"address", 4}, {"subcode", 4}},
      [](const TValues& v, int) {
        return Nrc17Code(v.at("command"), v.at("address"), v.at("subcode"), 110000);
      },
      nullptr,
      [](const TValues& v, int) {
        const TCode start = Nrc17Code(254, 15, 15, 14000);
        const TCode data = Nrc17Code(v.at("command"), v.at("address"), v.at("subcode"), 110000);
        return std::vector<TCode>{start, data, data, Nrc17Code(254, 15, 15, 100000)};
      });
  add(
      "Grundig", {"IRMP"}, {{"command", 9}},
      [](const TValues& v, int) { return GrundigCode(v.at("command"), 104000); }, nullptr,
      [](const TValues& v, int) {
        return Repeat(GrundigCode(511, 20000), GrundigCode(v.at("command"), 104000), 3);
      });
  add("JVC (no lead-in)", {"526 (SB-Projects)", "527 (IRP)"}, {{"address", 8}, {"command", 8}},
      [](const TValues& v, int s) { return JvcFrame(v, s, false); });
  return all;
}

}  // namespace

const std::vector<TProtocolFacts>& ProtocolCatalogue() {
  static const std::vector<TProtocolFacts> catalogue = Build();
  return catalogue;
}

const TProtocolFacts& FactsOf(const std::string& Entry) {
  for (const TProtocolFacts& facts : ProtocolCatalogue())
    if (facts.Entry == Entry) return facts;
  throw std::out_of_range("no protocol facts for " + Entry);
}

// Units: Pioneer 533 us, JVC 526, Kathrein 540 (lead-in and 8, 16 or 24 bits); NRC17's pre-pulse
// and start bit are Grundig's 5 % fast, its first nine bits a Grundig command.
const std::set<std::string>& ClockPrefixEntriesOf(const std::string& Entry) {
  static const std::map<std::string, std::set<std::string>> prefixes{
      {"Pioneer", {"Kathrein", "JVC", "Kathrein repeat"}},
      {"Kathrein", {"JVC", "Kathrein repeat"}},
      {"JVC", {"Kathrein repeat"}},
      // Ten bits of a lead-in-less JVC frame are a whole Akai frame on a plausible fit.
      {"JVC (no lead-in)", {"Akai"}},
      {"NRC17", {"Grundig"}}};
  static const std::set<std::string> none;
  const auto found = prefixes.find(Entry);
  return found == prefixes.end() ? none : found->second;
}

const std::set<std::string>& PrefixEntriesOf(const std::string& Entry) {
  static const std::map<std::string, std::set<std::string>> prefixes{
      {"NEC42", {"NEC", "NEC42 repeat", "Dgtec"}},
      {"Apple", {"NEC42 repeat", "Dgtec"}},
      {"NEC", {"NEC42 repeat", "Dgtec"}},  // 24 bits of NEC timing are a Dgtec frame
      {"Kathrein", {"Kathrein repeat"}},
      {"Samsung32", {"Samsung20", "Kathrein"}},  // 24 bits: Kathrein on its 4500/4500 lead-in
      {"Sony20", {"Sony15", "Sony12"}},
      {"Sony15", {"Sony12"}},
      {"MCE", {"RC6-6-20", "Replay T0"}},  // a 24-bit body with MCE's header is Replay's
      // 22 bits of an Emerson frame fit Panasonic_Old's wide window.
      {"Emerson", {"Panasonic_Old"}},
      // Akai's bits are Sharp's and Denon's within the window, its frame 10 bits long.
      {"Sharp", {"Akai"}},
      {"Sharp (2nd frame)", {"Akai"}},
      {"Denon", {"Akai"}},
      {"Denon (2nd frame)", {"Akai"}}};
  static const std::set<std::string> none;
  const auto found = prefixes.find(Entry);
  return found == prefixes.end() ? none : found->second;
}
