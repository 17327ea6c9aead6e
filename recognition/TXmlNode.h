#pragma once
// One node of a loaded XML document: a light handle, valid while its document lives.

#include <optional>
#include <string>

namespace pugi {
struct xml_node_struct;
}
class TXmlNodeList;
class TXmlQuery;

class TXmlNode {
 public:
  TXmlNode() = default;
  explicit TXmlNode(pugi::xml_node_struct* Node) : Node_(Node) {}

  // True for a default or "not found" node; every read on a null node yields empty results.
  bool IsNull() const { return Node_ == nullptr; }
  // The element's name; "" for the document node and for a null node.
  std::string Name() const;
  // All text and CDATA below the node in document order; "" when there is none. Walks the
  // subtree without recursion, so any nesting depth is safe.
  std::string Text() const;
  // The value of the attribute Name; nothing when the node has no such attribute.
  std::optional<std::string> Attribute(const char* Name) const;
  // The nodes Query selects relative to this node, in document order (attribute results are
  // left out); empty for a null node. Throws only when memory runs out.
  TXmlNodeList SelectNodes(const TXmlQuery& Query) const;
  // The first node in document order that Query selects relative to this node, or a null node.
  TXmlNode SelectSingleNode(const TXmlQuery& Query) const;

 private:
  pugi::xml_node_struct* Node_ = nullptr;
};
