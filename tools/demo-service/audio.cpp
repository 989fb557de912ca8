#include "audio.h"

#include "answers.h"
#include "service/error.h"

#include <lame/lame.h>

#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace orvelle::demo {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double frequencyOf(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

// Adds one note: a sine with a little of its second and third harmonics, under an
// attack-decay-release envelope. The sine is stepped by rotation and the decay by a constant
// factor, so the loop makes no calls into the maths library: a note costs a few multiplications
// per sample.
void addNote(std::vector<float>& mix, int sampleRate, double start, double duration, int midiNote,
             double gain, double brightness) {
  const auto first = static_cast<size_t>(start * sampleRate);
  const auto count = static_cast<size_t>(duration * sampleRate);
  const double step = kTwoPi * frequencyOf(midiNote) / sampleRate;
  const double stepSin = std::sin(step), stepCos = std::cos(step);
  const double decay = std::exp(-2.2 / sampleRate);
  const double attack = 0.012 * sampleRate;
  const double release = 0.08 * sampleRate;
  double sine = 0, cosine = 1, envelope = gain;
  for (size_t i = 0; i < count && first + i < mix.size(); ++i) {
    const double t = static_cast<double>(i);
    double shaped = envelope;
    if (t < attack) shaped *= t / attack;
    if (t > count - release) shaped *= std::max(0.0, (count - t) / release);
    // sin 2x = 2 sin x cos x, sin 3x = sin x (3 - 4 sin^2 x)
    const double wave = sine + brightness * 0.5 * (2 * sine * cosine) +
                        brightness * 0.25 * (sine * (3 - 4 * sine * sine));
    mix[first + i] += static_cast<float>(shaped * wave);
    const double nextSine = sine * stepCos + cosine * stepSin;
    cosine = cosine * stepCos - sine * stepSin;
    sine = nextSine;
    envelope *= decay;
  }
}

void putLittle(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string synthesizeSong(const Song& song, int sampleRate) {
  std::mt19937 random(static_cast<uint32_t>(std::stoul(song.sid)) * 2654435761u);
  const auto pick = [&](int low, int high) {
    return low + static_cast<int>(random() % static_cast<uint32_t>(high - low + 1));
  };
  static constexpr std::array<std::array<int, 5>, 3> kScales{{
      {0, 2, 4, 7, 9},   // major pentatonic
      {0, 3, 5, 7, 10},  // minor pentatonic
      {0, 2, 4, 5, 7},   // the first five steps of a major scale
  }};
  static constexpr std::array<std::array<int, 4>, 3> kProgressions{{
      {0, 7, 9, 5},  // I V vi IV
      {0, 5, 7, 0},  // I IV V I
      {9, 5, 0, 7},  // vi IV I V
  }};
  const int root = pick(55, 64);
  const auto& scale = kScales[static_cast<size_t>(pick(0, 2))];
  const auto& progression = kProgressions[static_cast<size_t>(pick(0, 2))];
  const double beat = 60.0 / pick(84, 140);
  const double brightness = pick(2, 9) / 10.0;

  const size_t total = static_cast<size_t>(song.lengthSeconds) * static_cast<size_t>(sampleRate);
  std::vector<float> mix(total, 0.0f);
  const double length = song.lengthSeconds;

  // A four-bar motif, repeated with small variations, over a bass note per bar.
  std::vector<std::pair<int, int>> motif;  // (scale degree, length in half beats)
  for (int halfBeats = 0; halfBeats < 16;) {
    const int span = std::min(16 - halfBeats, pick(1, 3));
    motif.emplace_back(pick(0, 9), span);
    halfBeats += span;
  }
  int bar = 0;
  for (double barStart = 0; barStart < length; barStart += 4 * beat, ++bar) {
    const int chordRoot = root - 12 + progression[static_cast<size_t>(bar % 4)];
    addNote(mix, sampleRate, barStart, 4 * beat, chordRoot - 12, 0.30, 0.6);
    addNote(mix, sampleRate, barStart, 2 * beat, chordRoot + 4 + (bar % 2), 0.10, 0.2);
    double at = barStart;
    for (const auto& [degree, span] : motif) {
      const int shifted = (degree + (bar % 4 == 3 ? pick(0, 2) : 0)) % 10;
      const int note = root + 12 * (shifted / 5) + scale[static_cast<size_t>(shifted % 5)];
      addNote(mix, sampleRate, at, span * beat / 2, note, 0.35, brightness);
      at += span * beat / 2;
    }
  }

  // Fade in and out, then scale to 16 bits with headroom.
  const size_t fade = static_cast<size_t>(sampleRate) / 2;
  for (size_t i = 0; i < fade && i < total; ++i) {
    const float gain = static_cast<float>(i) / static_cast<float>(fade);
    mix[i] *= gain;
    mix[total - 1 - i] *= gain;
  }
  float peak = 1e-6f;
  for (float sample : mix) peak = std::max(peak, std::abs(sample));
  const float scale16 = 0.8f * 32767.0f / peak;

  const uint32_t dataBytes = static_cast<uint32_t>(total * 2);
  std::string wav;
  wav.reserve(44 + dataBytes);
  wav += "RIFF";
  putLittle(wav, 36 + dataBytes, 4);
  wav += "WAVE";
  wav += "fmt ";
  putLittle(wav, 16, 4);                                    // chunk size
  putLittle(wav, 1, 2);                                     // PCM
  putLittle(wav, 1, 2);                                     // mono
  putLittle(wav, static_cast<uint32_t>(sampleRate), 4);     // samples per second
  putLittle(wav, static_cast<uint32_t>(sampleRate) * 2, 4); // bytes per second
  putLittle(wav, 2, 2);                                     // bytes per sample frame
  putLittle(wav, 16, 2);                                    // bits per sample
  wav += "data";
  putLittle(wav, dataBytes, 4);
  for (float sample : mix) {
    const auto value = static_cast<int16_t>(std::lround(std::clamp(sample * scale16, -32768.0f, 32767.0f)));
    putLittle(wav, static_cast<uint16_t>(value), 2);
  }
  return wav;
}

std::string encodeMp3(const std::string& wav) {
  constexpr size_t kHeaderBytes = 44;
  if (wav.size() < kHeaderBytes) throw Error(QStringLiteral("Not a WAV file"));
  const auto sampleRate = static_cast<int>(static_cast<uint8_t>(wav[24]) | static_cast<uint8_t>(wav[25]) << 8 |
                                           static_cast<uint8_t>(wav[26]) << 16);
  std::vector<short> samples((wav.size() - kHeaderBytes) / 2);
  std::memcpy(samples.data(), wav.data() + kHeaderBytes, samples.size() * 2);

  std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
  if (!lame) throw Error(QStringLiteral("The MP3 encoder could not be made"));
  lame_set_in_samplerate(lame.get(), sampleRate);
  lame_set_num_channels(lame.get(), 1);
  lame_set_mode(lame.get(), MONO);
  lame_set_out_samplerate(lame.get(), kMp3SampleRate);
  lame_set_brate(lame.get(), kMp3KilobitsPerSecond);
  lame_set_VBR(lame.get(), vbr_off);
  lame_set_bWriteVbrTag(lame.get(), 0);
  if (lame_init_params(lame.get()) < 0) throw Error(QStringLiteral("The MP3 encoder refused its settings"));

  // LAME's own bound for the output of one call: 1.25 times the samples plus 7200 bytes.
  std::vector<unsigned char> out(samples.size() * 5 / 4 + 7200);
  const int encoded = lame_encode_buffer(lame.get(), samples.data(), samples.data(), static_cast<int>(samples.size()),
                                         out.data(), static_cast<int>(out.size()));
  if (encoded < 0) throw Error(QStringLiteral("The MP3 encoder failed (%1)").arg(encoded));
  std::string mp3(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(encoded));
  const int flushed = lame_encode_flush(lame.get(), out.data(), static_cast<int>(out.size()));
  if (flushed < 0) throw Error(QStringLiteral("The MP3 encoder failed (%1)").arg(flushed));
  mp3.append(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(flushed));
  return mp3;
}

AudioFile AudioStore::find(std::string_view path) {
  for (const Song& song : catalogue_.songs()) {
    if (audioPath(song, AudioFormat::Wav) == path) return {wav(song), "audio/wav"};
    if (audioPath(song, AudioFormat::Mp3) != path) continue;
    std::shared_ptr<const std::string> samples = wav(song);
    std::lock_guard lock(mutex_);
    auto& mp3 = files_[std::string(path)];
    if (!mp3) mp3 = std::make_shared<const std::string>(encodeMp3(*samples));
    return {mp3, "audio/mpeg"};
  }
  return {};
}

std::shared_ptr<const std::string> AudioStore::wav(const Song& song) {
  // Synthesizing under the lock keeps two requests for the same song from doing it twice; a
  // song takes a few milliseconds.
  std::lock_guard lock(mutex_);
  auto& file = files_[audioPath(song, AudioFormat::Wav)];
  if (!file) file = std::make_shared<const std::string>(synthesizeSong(song));
  return file;
}

}  // namespace orvelle::demo
