#pragma once
// A compiled XPath 1.0 expression, optionally with string variables ($name), reusable against
// any node of any document.

#include <memory>
#include <string>
#include <vector>

namespace pugi {
class xpath_query;
class xpath_variable_set;
}  // namespace pugi

class TXmlQuery {
 public:
  // Compiles Expression, which may refer to the string variables listed in Variables. Throws
  // pugi::xpath_exception (a std::exception) when the expression is not valid XPath 1.0.
  explicit TXmlQuery(const std::string& Expression, const std::vector<std::string>& Variables = {});
  ~TXmlQuery();
  TXmlQuery(const TXmlQuery&) = delete;
  TXmlQuery& operator=(const TXmlQuery&) = delete;

  // Sets the string variable Name for the following evaluations; false when the query was not
  // compiled with that variable. Any text is safe, quotes included: it is never parsed as XPath.
  bool SetVariable(const std::string& Name, const std::string& Value);
  // The compiled form, for the node operations of the XML facility.
  const pugi::xpath_query& Compiled() const { return *Query_; }

 private:
  std::unique_ptr<pugi::xpath_variable_set> Variables_;
  std::unique_ptr<pugi::xpath_query> Query_;
};
