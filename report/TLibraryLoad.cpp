#include "TLibraryLoad.h"

#include <algorithm>

#include "TProtocolRecognition.h"

std::string TLibraryLoad::Into(TProtocolRecognition& Engine, const std::string& File) {
  std::string report;
  auto kept = std::move(Engine.OnReport);
  Engine.OnReport = [&report](const std::string& Text) { report = Text; };
  Engine.LoadProtocols(File);
  Engine.OnReport = std::move(kept);
  return report;
}

std::string TLibraryLoad::Joined(std::string Report, char Separator) {
  std::replace(Report.begin(), Report.end(), '\r', Separator);
  return Report;
}
