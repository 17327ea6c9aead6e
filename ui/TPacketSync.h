#pragma once
// Keeps the samples grid, the packet details and the graph on the same packet: lists new and
// changed packets, shows the current row's packet, and keeps it current across sorting,
// filtering, folding and deleting. Undecoded packets are decoded before they are shown.

#include <memory>
#include <string>
#include <vector>

#include "TPacketList.h"

class TDetailsPane;
class TGraph;
class TPacketListControls;
class TProtocolRecognition;
class TSignalProcessor;
class TGridView;

class TPacketSync {
 public:
  // All parts are the window's and outlive this object; LibraryProblem is why no library is
  // loaded ("" when one is), read whenever details are shown.
  TPacketSync(TSignalProcessor& Processor, TProtocolRecognition& Recognition, TPacketList& List,
              TGridView& Grid, TDetailsPane& Details, TGraph& Graph,
              const std::string& LibraryProblem);

  // Decodes Samples[First..] where needed, lists them and shows the newest one's row.
  void ListNew(int First);
  // Lists the packet capture has just added as ListNew, first joined with the packets before
  // it that an entry asking for a longer ending silence reads together with it
  // (TSilenceJoiner::JoinNewest); after a join every packet is listed anew.
  void ListCaptured();
  // Adds Samples to the processor's list and lists them as ListNew.
  void Append(std::vector<std::unique_ptr<TSample>> Samples);
  // Shows packet Index (decoded first when it is not) in the details and the graph; an index
  // out of range does nothing.
  void Select(int Index);
  // Makes the row of packet Index current and shows that row's packet (a folded row shows its
  // first); a packet no row lists (filtered out) is shown all the same.
  void ShowListed(int Index);
  // Lists every packet anew (packing the signals of those new to the list) and shows the last
  // one; with none, no row is current.
  void Relist();
  // Forgets every packet: the list, the details and the graph are emptied.
  void Clear();
  // Removes Packets (indices into the samples, ascending) and shows the packet after them.
  void Delete(const std::vector<int>& Packets);
  // One row per held key (On) or one per packet; the packet shown stays current.
  void Fold(bool On);
  // After a sort or a filter: the packet shown stays current where it is still listed.
  void ShowCurrentAgain();
  // The packet of the current row, -1 when none.
  int CurrentPacket() const;
  // The first packet of every selected row (of the current row when none is selected); none
  // before Controls is set.
  std::vector<const TSample*> SelectedSamples() const;

  TPacketListControls* Controls = nullptr;  // the list's controls, once made

 private:
  static void Keep(TSample& Sample);
  int IndexOf(const TSample* Sample) const;

  TSignalProcessor& Processor;
  TProtocolRecognition& Recognition;
  TPacketList& List;
  TGridView& Grid;
  TDetailsPane& Details;
  TGraph& Graph;
  const std::string& LibraryProblem;
};
