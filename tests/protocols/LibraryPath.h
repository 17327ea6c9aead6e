#pragma once
#include <string>

inline std::string ShippedLibrary() {
  return std::string(VORLENT_DATA_DIR) + "/protocols.xml";
}
