#include "TXmlNode.h"

#include <pugixml.hpp>

#include "TXmlNodeList.h"
#include "TXmlQuery.h"

namespace {

bool IsText(const pugi::xml_node& Node) {
  return Node.type() == pugi::node_pcdata || Node.type() == pugi::node_cdata;
}

}  // namespace

std::string TXmlNode::Name() const {
  return Node_ ? pugi::xml_node(Node_).name() : "";
}

std::string TXmlNode::Text() const {
  const pugi::xml_node root(Node_);
  if (!root) return {};
  if (IsText(root)) return root.value();
  std::string text;
  pugi::xml_node node = root.first_child();
  while (node) {
    if (IsText(node)) text += node.value();
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != root && !node.next_sibling()) node = node.parent();
    if (node == root) break;
    node = node.next_sibling();
  }
  return text;
}

std::optional<std::string> TXmlNode::Attribute(const char* Name) const {
  if (!Node_) return std::nullopt;
  const pugi::xml_attribute attribute = pugi::xml_node(Node_).attribute(Name);
  if (!attribute) return std::nullopt;
  return std::string(attribute.value());
}

TXmlNodeList TXmlNode::SelectNodes(const TXmlQuery& Query) const {
  if (!Node_) return {};
  // pugixml hands unions back in evaluation order; callers rely on document order.
  pugi::xpath_node_set found = Query.Compiled().evaluate_node_set(pugi::xml_node(Node_));
  found.sort();
  std::vector<TXmlNode> nodes;
  nodes.reserve(found.size());
  for (const pugi::xpath_node& item : found) {
    if (item.node()) nodes.emplace_back(item.node().internal_object());
  }
  return TXmlNodeList(std::move(nodes));
}

TXmlNode TXmlNode::SelectSingleNode(const TXmlQuery& Query) const {
  if (!Node_) return {};
  const pugi::xpath_node found = Query.Compiled().evaluate_node(pugi::xml_node(Node_));
  return TXmlNode(found.node().internal_object());
}
