#include "TCodeLibrary.h"

#include "TProtocolRecognition.h"

TCodeLibrary::TCodeLibrary(const TProtocolRecognition& Recognition) {
  for (const TDefinition& definition : Recognition.Definitions())
    if (definition.Complete()) Items.push_back(definition);
}

const TDefinition* TCodeLibrary::Find(const std::string& Name) const {
  for (const TDefinition& definition : Items)
    if (definition.Name == Name) return &definition;
  return nullptr;
}

uint32_t TCodeLibrary::CarrierHz(const std::string& Name) const {
  const TDefinition* definition = Find(Name);
  return definition && definition->CarrierHz ? definition->CarrierHz : DefaultCarrierHz;
}
