// The signal processor on the sound card: apart, so that a program that never records does not
// link the sound system.

#include "TPortAudioSoundSystem.h"
#include "TSignalProcessor.h"

void TSignalProcessor::Init(TWaveNotifyTarget* WindowHandle, uint16_t Rate) {
  Init(WindowHandle, Rate, WaveIn ? nullptr : std::make_unique<TPortAudioSoundSystem>());
}
