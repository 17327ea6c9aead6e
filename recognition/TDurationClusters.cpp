#include "TDurationClusters.h"

#include <algorithm>
#include <numeric>

TDurationClusters TDurationClusters::From(const std::vector<double>& Values, double SplitRatio) {
  TDurationClusters result;
  result.Of.assign(Values.size(), 0);
  std::vector<size_t> order(Values.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return Values[a] < Values[b]; });
  double sum = 0;
  const auto close = [&] {
    if (!result.Clusters.empty())
      result.Clusters.back().Centre = sum / static_cast<double>(result.Clusters.back().Count);
  };
  for (size_t index : order) {
    const double value = Values[index];
    if (result.Clusters.empty() || (value - result.Clusters.back().Max > SplitSamples &&
                                    value > result.Clusters.back().Max * (1 + SplitRatio))) {
      close();
      result.Clusters.push_back({value, value, value, 0});
      result.Last.push_back(0);
      sum = 0;
    }
    TCluster& cluster = result.Clusters.back();
    result.Last.back() = std::max(result.Last.back(), index);
    cluster.Max = value;
    ++cluster.Count;
    sum += value;
    result.Of[index] = result.Clusters.size() - 1;
  }
  close();
  return result;
}

bool TDurationClusters::Near(const TCluster& Cluster, double Min, double Max, double Ratio) {
  return Min >= Cluster.Min / Ratio - NearSlackSamples &&
         Max <= Cluster.Max * Ratio + NearSlackSamples;
}
