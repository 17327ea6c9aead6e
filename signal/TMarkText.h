#pragma once
// The label of a bit or field mark, kept as a two-byte handle to one shared copy of its text:
// a packet has dozens of marks and their texts are few (field names, "bitN", mostly ""), so
// a mark costs four bytes, not forty. Handles are valid on every thread for the life of the
// program; equal texts have equal handles.

#include <cstdint>
#include <ostream>
#include <string>

class TMarkText {
 public:
  static constexpr size_t MostTexts = 65536;  // distinct texts; "" is one of them

  TMarkText() = default;  // ""
  // The handle of Text, kept from now on. Once MostTexts texts are kept, a new one reads as
  // "" (a label lost; the mark and its position stay). Never fails otherwise.
  TMarkText(const std::string& Text);  // NOLINT: converts, as the text it stands for
  TMarkText(const char* Text) : TMarkText(std::string(Text)) {}  // NOLINT

  // The text. Never fails.
  const std::string& str() const;
  operator const std::string&() const { return str(); }  // NOLINT
  bool empty() const { return Id == 0; }

  friend bool operator==(TMarkText A, TMarkText B) { return A.Id == B.Id; }
  friend bool operator==(TMarkText A, const std::string& B) { return A.str() == B; }
  friend bool operator==(TMarkText A, const char* B) { return A.str() == B; }
  friend std::ostream& operator<<(std::ostream& Out, TMarkText Text) { return Out << Text.str(); }

 private:
  uint16_t Id = 0;
};
