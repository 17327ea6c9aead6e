#include "TPacketSync.h"

#include <algorithm>

#include "TDetailsPane.h"
#include "TGraph.h"
#include "TGridView.h"
#include "TPacketListControls.h"
#include "TProtocolRecognition.h"
#include "TSignalProcessor.h"
#include "TSilenceJoiner.h"
#include "TStringGrid.h"

TPacketSync::TPacketSync(TSignalProcessor& ProcessorIn, TProtocolRecognition& RecognitionIn,
                         TPacketList& ListIn, TGridView& GridIn, TDetailsPane& DetailsIn,
                         TGraph& GraphIn, const std::string& Problem)
    : Processor(ProcessorIn),
      Recognition(RecognitionIn),
      List(ListIn),
      Grid(GridIn),
      Details(DetailsIn),
      Graph(GraphIn),
      LibraryProblem(Problem) {}

void TPacketSync::ListNew(int First) {
  const int count = static_cast<int>(Processor.Samples.size());
  if (First < 0 || First >= count) return;
  for (int i = First; i < count; ++i) {
    TSample& sample = *Processor.Samples[i];
    if (!sample.Protocol) Recognition.Decode(sample);
    Keep(sample);
  }
  List.Append(Processor.Samples, First);
  ShowListed(count - 1);
}

void TPacketSync::ListCaptured() {
  Graph.Clear();  // it must not draw a packet the join frees; the newest is shown again
  if (TSilenceJoiner::JoinNewest(Recognition, Processor.SampleRate, Processor.Samples) < 0) {
    ListNew(static_cast<int>(Processor.Samples.size()) - 1);
    return;
  }
  Details.Clear();
  Relist();
}

void TPacketSync::Append(std::vector<std::unique_ptr<TSample>> Samples) {
  const int first = static_cast<int>(Processor.Samples.size());
  for (auto& sample : Samples) Processor.AddSample(std::move(sample));
  ListNew(first);
}

void TPacketSync::Select(int Index) {
  if (Index < 0 || Index >= static_cast<int>(Processor.Samples.size())) return;
  TSample& sample = *Processor.Samples[Index];
  if (!sample.Protocol) Recognition.Decode(sample);  // never show an undecoded sample
  std::string url, description;
  Recognition.GetDescription(sample.Protocol->ProtocolName, url, description);
  Details.Show(sample, url, description, LibraryProblem);
  Graph.SetSample(&sample);
  Graph.Draw();
}

void TPacketSync::ShowListed(int Index) {
  const int row = List.RowOf(Index);
  const bool moves = row > 0 && Grid.CurrentRow() != row;
  Grid.SetCurrentRow(row);  // a new current row shows its packet through the grid
  if (!moves) Select(row > 0 ? List.PacketAt(row) : Index);
}

void TPacketSync::Relist() {
  const int count = static_cast<int>(Processor.Samples.size());
  for (auto& sample : Processor.Samples) Keep(*sample);  // a loaded or joined packet is new
  List.Show(Processor.Samples);
  if (count == 0) {
    Grid.SetCurrentRow(-1);  // nothing to select; the details stay as they are
    return;
  }
  ShowListed(count - 1);
}

void TPacketSync::Clear() {
  Graph.Clear();  // it must not draw a freed sample
  Processor.ClearSamples();
  List.Clear();
  Details.Clear();
}

void TPacketSync::Delete(const std::vector<int>& Packets) {
  if (Packets.empty()) return;
  auto& samples = Processor.Samples;
  Graph.Clear();  // it must not draw a freed sample
  for (auto i = Packets.rbegin(); i != Packets.rend(); ++i) {
    if (*i >= 0 && *i < static_cast<int>(samples.size())) samples.erase(samples.begin() + *i);
  }
  Details.Clear();
  List.Show(samples);
  const int next = std::min(Packets.front(), static_cast<int>(samples.size()) - 1);
  if (next >= 0) ShowListed(next);
}

void TPacketSync::Fold(bool On) {
  const int shown = CurrentPacket();
  List.SetFolding(On, Processor.Samples);
  if (shown >= 0) ShowListed(shown);
}

void TPacketSync::ShowCurrentAgain() {
  const int shown = Graph.ShownSample() ? IndexOf(Graph.ShownSample()) : -1;
  Grid.SetCurrentRow(List.RowOf(shown));
}

int TPacketSync::CurrentPacket() const {
  return List.PacketAt(Grid.CurrentRow());
}

std::vector<const TSample*> TPacketSync::SelectedSamples() const {
  std::vector<const TSample*> selected;
  if (!Controls) return selected;
  for (const int packet : Controls->SelectedKeys()) {
    if (packet >= 0 && packet < static_cast<int>(Processor.Samples.size()))
      selected.push_back(Processor.Samples[static_cast<size_t>(packet)].get());
  }
  return selected;
}

// A packet is kept for long: its signal packed, no spare room behind its runs and marks.
void TPacketSync::Keep(TSample& Sample) {
  Sample.PackSignal();
  Sample.Pulses.shrink_to_fit();
  for (auto& row : Sample.Marks) row.shrink_to_fit();
}

int TPacketSync::IndexOf(const TSample* Sample) const {
  const auto& samples = Processor.Samples;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (samples[i].get() == Sample) return static_cast<int>(i);
  }
  return -1;
}
