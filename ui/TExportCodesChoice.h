#pragma once
// What the user chose in File > Export codes: the packets, a name, the carrier and the file.

#include <QString>
#include <cstdint>

struct TExportCodesChoice {
  bool AllPackets = false;  // otherwise the selected packet only
  QString Name;             // the selected packet's signal name; "" gives the default name
  uint32_t CarrierHz = 0;   // 0: each packet's protocol's carrier
  QString FileName;
  int Format = 0;  // index into the offered formats
};
