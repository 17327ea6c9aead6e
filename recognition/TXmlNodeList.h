#pragma once
// The result of a node query: nodes in document order, counted and indexed from 0.

#include <cstddef>
#include <utility>
#include <vector>

#include "TXmlNode.h"

class TXmlNodeList {
 public:
  TXmlNodeList() = default;
  explicit TXmlNodeList(std::vector<TXmlNode> Nodes) : Nodes_(std::move(Nodes)) {}

  // Number of nodes; 0 for a query that matched nothing.
  size_t Count() const { return Nodes_.size(); }
  // Node number Index (from 0); a null node when Index is out of range.
  TXmlNode Item(size_t Index) const { return Index < Nodes_.size() ? Nodes_[Index] : TXmlNode(); }

 private:
  std::vector<TXmlNode> Nodes_;
};
