#pragma once
// Makes ALSA's default capture device play a raw 8-bit file back as its input (ALSA's file
// plugin), so that the real PortAudio path records without a sound card. Call before
// PortAudio is initialised: ALSA reads its configuration once per process.

#include <cstdlib>
#include <filesystem>
#include <fstream>

inline void UseAlsaFileDevice(const std::filesystem::path& ConfigDir,
                              const std::filesystem::path& RawInput) {
  constexpr const char* Config = R"(pcm.!default {
    type file
    slave.pcm { type null }
    file "/dev/null"
    infile { @func getenv vars [ IR_TEST_INFILE ] default "/dev/null" }
    format "raw"
}
)";
  const auto config = ConfigDir / "asound.conf";
  std::ofstream(config) << Config;
  setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
  setenv("IR_TEST_INFILE", RawInput.c_str(), 1);
}
