#include "TCaptureDevice.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

namespace {
std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return Text;
}

// Choice as a whole decimal number, or -1 when it is not one.
int IndexOf(const std::string& Choice) {
  int index = -1;
  const char* end = Choice.data() + Choice.size();
  auto [last, error] = std::from_chars(Choice.data(), end, index);
  return error == std::errc() && last == end && !Choice.empty() ? index : -1;
}

std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}
}  // namespace

const TCaptureDevice& TCaptureDevice::Find(const std::vector<TCaptureDevice>& Devices,
                                           const std::string& Choice, const std::string& Kind) {
  if (Devices.empty()) throw std::invalid_argument("no " + Kind + " device is present");
  if (Choice.empty()) throw std::invalid_argument("the device name is empty");
  if (const int index = IndexOf(Choice); index >= 0) {
    for (const TCaptureDevice& device : Devices)
      if (device.Index == index) return device;
    throw std::invalid_argument("no " + Kind + " device has the number " + Choice);
  }
  for (const TCaptureDevice& device : Devices)
    if (device.Name == Choice) return device;
  std::vector<const TCaptureDevice*> fits;
  for (const TCaptureDevice& device : Devices)
    if (Lower(device.Name).find(Lower(Choice)) != std::string::npos) fits.push_back(&device);
  if (fits.size() == 1) return *fits.front();
  if (fits.empty())
    throw std::invalid_argument("no " + Kind + " device is named " + Quoted(Choice));
  std::string names;
  for (const TCaptureDevice* device : fits)
    names += (names.empty() ? "" : ", ") + Quoted(device->Name);
  throw std::invalid_argument(Quoted(Choice) + " fits several " + Kind + " devices: " + names);
}

std::string TCaptureDevice::ListText() const {
  constexpr int IndexWidth = 3;
  std::string number = std::to_string(Index);
  std::string text(IsDefault ? "*" : " ");
  text += std::string(IndexWidth > static_cast<int>(number.size()) ? IndexWidth - number.size() : 0,
                      ' ');
  text += number + "  " + Name + "  (" + std::to_string(static_cast<long>(DefaultRate)) + " Hz)";
  return text;
}
