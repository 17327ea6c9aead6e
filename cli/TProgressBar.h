#pragma once
// A progress bar on one line of a terminal, shown only for work that takes a while.

#include <functional>
#include <ostream>
#include <string>

class TProgressBar {
 public:
  using TClock = std::function<double()>;  // seconds, steadily increasing

  static constexpr double ShowAfter = 0.5;     // s of work before a bar may appear
  static constexpr double ShowIfLonger = 2.0;  // s the whole work is expected to take
  static constexpr double RedrawEvery = 0.1;   // s between redraws
  static constexpr int Width = 30;             // characters of the bar

  // Draws on Out only when Enabled (a terminal); Label names the work.
  TProgressBar(std::ostream& Out, bool Enabled, std::string Label, TClock Clock = {});
  // Clears the bar's line if it was drawn.
  ~TProgressBar();
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // Fraction done, 0..1. Draws once the work has run ShowAfter and looks to need longer
  // than ShowIfLonger in all; never fails.
  void Update(double Fraction);
  bool Shown() const { return Drawn; }

 private:
  void Draw(double Fraction);

  std::ostream& Out;
  bool Enabled;
  std::string Label;
  TClock Clock;
  double Start = 0;
  double LastDraw = 0;
  bool Drawn = false;
};
