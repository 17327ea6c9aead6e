#include "TDurationClusters.h"

#include <algorithm>
#include <numeric>

namespace {
// Whether Value starts a new cluster after Before.
bool Splits(double Before, double Value, double Ratio) {
  return Value - Before > TDurationClusters::SplitSamples && Value > Before * (1 + Ratio);
}
}  // namespace

TDurationClusters TDurationClusters::From(const std::vector<double>& Values, double SplitRatio,
                                          double LoneRatio) {
  std::vector<size_t> order(Values.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return Values[a] < Values[b]; });
  const auto value = [&](size_t k) { return Values[order[k]]; };
  std::vector<bool> starts(order.size());
  for (size_t k = 0; k < order.size(); ++k)
    starts[k] = k == 0 || Splits(value(k - 1), value(k), SplitRatio);
  for (size_t k = 2; LoneRatio > 0 && k < order.size(); ++k) {
    const bool top = k + 1 == order.size() || starts[k + 1];
    if (top && !starts[k] && !starts[k - 1] && Splits(value(k - 1), value(k), LoneRatio))
      starts[k] = true;
  }

  TDurationClusters result;
  result.Of.assign(Values.size(), 0);
  double sum = 0;
  const auto close = [&] {
    if (!result.Clusters.empty())
      result.Clusters.back().Centre = sum / static_cast<double>(result.Clusters.back().Count);
  };
  for (size_t k = 0; k < order.size(); ++k) {
    if (starts[k]) {
      close();
      result.Clusters.push_back({value(k), value(k), value(k), 0});
      result.Last.push_back(0);
      sum = 0;
    }
    TCluster& cluster = result.Clusters.back();
    result.Last.back() = std::max(result.Last.back(), order[k]);
    cluster.Max = value(k);
    ++cluster.Count;
    sum += value(k);
    result.Of[order[k]] = result.Clusters.size() - 1;
  }
  close();
  return result;
}

bool TDurationClusters::Near(const TCluster& Cluster, double Min, double Max, double Ratio) {
  return Min >= Cluster.Min / Ratio - NearSlackSamples &&
         Max <= Cluster.Max * Ratio + NearSlackSamples;
}
