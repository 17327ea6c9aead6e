#include "TXmlQuery.h"

#include <pugixml.hpp>

TXmlQuery::TXmlQuery(const std::string& Expression, const std::vector<std::string>& Variables)
    : Variables_(std::make_unique<pugi::xpath_variable_set>()) {
  for (const std::string& name : Variables) Variables_->add(name.c_str(), pugi::xpath_type_string);
  Query_ = std::make_unique<pugi::xpath_query>(Expression.c_str(), Variables_.get());
}

TXmlQuery::~TXmlQuery() = default;

bool TXmlQuery::SetVariable(const std::string& Name, const std::string& Value) {
  return Variables_->set(Name.c_str(), Value.c_str());
}
