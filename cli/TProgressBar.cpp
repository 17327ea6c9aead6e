#include "TProgressBar.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {
double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
const char* const ClearLine = "\r\033[K";
}  // namespace

TProgressBar::TProgressBar(std::ostream& Stream, bool OnTerminal, std::string Text, TClock Now)
    : Out(Stream), Enabled(OnTerminal), Label(std::move(Text)), Clock(Now ? Now : SteadySeconds) {
  if (Enabled) Start = Clock();
}

TProgressBar::~TProgressBar() {
  if (Drawn) Out << ClearLine << std::flush;
}

void TProgressBar::Update(double Fraction) {
  if (!Enabled) return;
  Fraction = std::isfinite(Fraction) ? std::clamp(Fraction, 0.0, 1.0) : 0.0;
  double now = Clock();
  double elapsed = now - Start;
  if (!Drawn) {
    if (elapsed < ShowAfter) return;
    bool longWork = Fraction <= 0 || elapsed / Fraction > ShowIfLonger;
    if (!longWork) return;
  } else if (now - LastDraw < RedrawEvery && Fraction < 1) {
    return;
  }
  Draw(Fraction);
  LastDraw = now;
}

void TProgressBar::Draw(double Fraction) {
  int filled = static_cast<int>(Fraction * Width);
  Out << ClearLine << Label << " [" << std::string(filled, '#') << std::string(Width - filled, '.')
      << "] " << static_cast<int>(Fraction * 100) << "%" << std::flush;
  Drawn = true;
}
