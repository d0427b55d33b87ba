#pragma once
// The synthesised sounds: short bell chimes and soft clicks, mono, at kSoundRate frames per second,
// samples in -1..1, each under a second.

#include <cstdint>
#include <vector>

inline constexpr uint32_t kSoundRate = 22050;

[[nodiscard]] std::vector<float> StartChime();       // rising bell arpeggio: the designer starts
[[nodiscard]] std::vector<float> ExitChime();        // falling bell arpeggio: the designer ends
[[nodiscard]] std::vector<float> SoftClick();        // a button was clicked
[[nodiscard]] std::vector<float> Boing();            // a question asks for attention
[[nodiscard]] std::vector<float> MarimbaWelcome();   // the sample browser starts
[[nodiscard]] std::vector<float> MarimbaFarewell();  // the sample browser ends
[[nodiscard]] std::vector<float> WoodTick();         // a sample browser button was clicked
