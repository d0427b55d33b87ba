#include "assets/Sounds.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::vector<float> Silence(double seconds) {
  return std::vector<float>(static_cast<size_t>(seconds * kSoundRate), 0.0f);
}

struct Partial {
  double ratio, level, decay;  // frequency ratio, relative level, decay time in seconds
};

// Adds one struck note made of decaying partials, with a 3 ms attack.
void Strike(std::vector<float>& out, double at, double frequency, double level,
            const std::vector<Partial>& partials) {
  const size_t start = static_cast<size_t>(at * kSoundRate);
  for (size_t i = start; i < out.size(); ++i) {
    const double t = static_cast<double>(i - start) / kSoundRate;
    const double attack = std::min(1.0, t / 0.003);
    double v = 0;
    for (const Partial& p : partials)
      v += p.level * std::exp(-t / p.decay) * std::sin(kTwoPi * frequency * p.ratio * t);
    out[i] += static_cast<float>(level * attack * v);
  }
}

const std::vector<Partial> kBell = {
    {1.0, 1.0, 0.30}, {2.0, 0.35, 0.18}, {3.01, 0.12, 0.10}, {4.2, 0.06, 0.06}};
const std::vector<Partial> kMarimba = {{1.0, 1.0, 0.22}, {3.93, 0.22, 0.04}, {9.2, 0.05, 0.015}};

// Scales to the peak level and fades the last 12 ms out, so no sound ends with a click.
std::vector<float> Finish(std::vector<float> s, float peak) {
  float max = 0;
  for (float v : s)
    max = std::max(max, std::fabs(v));
  if (max > 0) {
    for (float& v : s)
      v *= peak / max;
  }
  const size_t fade = std::min<size_t>(s.size(), static_cast<size_t>(0.012 * kSoundRate));
  for (size_t i = 0; i < fade; ++i)
    s[s.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(fade);
  return s;
}

}  // namespace

std::vector<float> StartChime() {
  auto s = Silence(0.9);
  const double notes[] = {523.25, 659.25, 783.99, 1046.5};
  for (int i = 0; i < 4; ++i)
    Strike(s, 0.085 * i, notes[i], i == 3 ? 1.0 : 0.8, kBell);
  return Finish(s, 0.55f);
}

std::vector<float> ExitChime() {
  auto s = Silence(0.75);
  const double notes[] = {783.99, 659.25, 523.25};
  for (int i = 0; i < 3; ++i)
    Strike(s, 0.1 * i, notes[i], 0.9, kBell);
  return Finish(s, 0.5f);
}

std::vector<float> SoftClick() {
  auto s = Silence(0.06);
  uint32_t noise = 0x12345u;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kSoundRate;
    noise = noise * 1664525u + 1013904223u;
    const double n = (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
    const double v = 0.8 * std::exp(-t / 0.007) * std::sin(kTwoPi * 1760 * t) +
                     0.5 * std::exp(-t / 0.012) * std::sin(kTwoPi * 220 * t) +
                     0.15 * std::exp(-t / 0.002) * n;
    s[i] = static_cast<float>(v);
  }
  return Finish(s, 0.45f);
}

std::vector<float> Boing() {
  auto s = Silence(0.55);
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kSoundRate;
    const double f = 330 * (1 + 0.18 * std::exp(-t / 0.18) * std::sin(kTwoPi * 8 * t)) * (1 - 0.12 * t);
    phase += kTwoPi * f / kSoundRate;
    const double env = std::min(1.0, t / 0.004) * std::exp(-t / 0.2);
    s[i] = static_cast<float>(env * (std::sin(phase) + 0.25 * std::sin(2 * phase)));
  }
  return Finish(s, 0.5f);
}

std::vector<float> MarimbaWelcome() {
  auto s = Silence(0.8);
  const double notes[] = {698.46, 880.0, 1046.5};
  for (int i = 0; i < 3; ++i)
    Strike(s, 0.11 * i, notes[i], 1.0, kMarimba);
  return Finish(s, 0.5f);
}

std::vector<float> MarimbaFarewell() {
  auto s = Silence(0.7);
  const double notes[] = {1046.5, 880.0, 698.46};
  for (int i = 0; i < 3; ++i)
    Strike(s, 0.1 * i, notes[i], 1.0, kMarimba);
  return Finish(s, 0.45f);
}

std::vector<float> WoodTick() {
  auto s = Silence(0.05);
  Strike(s, 0, 1318.5, 1.0, {{1.0, 1.0, 0.012}, {2.76, 0.4, 0.005}});
  return Finish(s, 0.4f);
}
