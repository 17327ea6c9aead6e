#pragma once
// Durations of one level sorted into clusters: sorted values belong together until one exceeds
// the one before by a share and by a few samples (a receiver's jitter). The generic pass
// clusters a packet's marks and its spaces so; a pulse-position code the spaces of all the
// packets of a remote. One test, too, of whether a run counts as a cluster's width.

#include <cstddef>
#include <vector>

#include "TGenericFrame.h"

struct TDurationClusters {
  using TCluster = TGenericFrame::TCluster;
  static constexpr double SplitSamples = 3;
  // A run this near a cluster's width (and a sample more) is of that width.
  static constexpr double NearRatio = 1.2;
  static constexpr double NearSlackSamples = 1;

  // Clusters Values (samples): a value starts a new cluster when it exceeds the one before by
  // more than SplitSamples and by more than SplitRatio of it; with LoneRatio, the longest
  // value of a cluster of three or more is a cluster of its own when it exceeds the one before
  // by that share (a stop mark a third longer than the long bit marks). Never throws except
  // when memory runs out.
  static TDurationClusters From(const std::vector<double>& Values, double SplitRatio,
                                double LoneRatio = 0);
  // True when every run from Min to Max lies within Ratio of Cluster's widths. Never fails.
  static bool Near(const TCluster& Cluster, double Min, double Max, double Ratio = NearRatio);

  std::vector<TCluster> Clusters;  // by centre
  std::vector<size_t> Of;          // the cluster of every value, by index of the value
  std::vector<size_t> Last;        // the last value (by index) of every cluster
};
