#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

void PutLittleEndian(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

} // namespace

void WriteToneWav(const std::string& path, double frequencyHz, double seconds, int sampleRate)
{
    const uint32_t frames = static_cast<uint32_t>(seconds * sampleRate);
    const uint32_t dataBytes = frames * 2;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    PutLittleEndian(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLittleEndian(out, 16, 4);              // fmt chunk size
    PutLittleEndian(out, 1, 2);               // PCM
    PutLittleEndian(out, 1, 2);               // mono
    PutLittleEndian(out, sampleRate, 4);
    PutLittleEndian(out, sampleRate * 2, 4);  // bytes per second
    PutLittleEndian(out, 2, 2);               // bytes per frame
    PutLittleEndian(out, 16, 2);              // bits per sample
    out.write("data", 4);
    PutLittleEndian(out, dataBytes, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        double value = 0.5 * std::sin(2.0 * M_PI * frequencyHz * i / sampleRate);
        PutLittleEndian(out, static_cast<uint16_t>(static_cast<int16_t>(value * 32767.0)), 2);
    }
}

ScratchFolder::ScratchFolder()
{
    std::string pattern = testing::TempDir() + "sonavar-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "cannot make a scratch folder from " << pattern;
    path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

AudioDriverEnvironment::AudioDriverEnvironment(const std::string& driver, const std::string& diskFile)
{
    setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
    if (diskFile.empty())
        unsetenv("SDL_DISKAUDIOFILE");
    else
        setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
}

AudioDriverEnvironment::~AudioDriverEnvironment()
{
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
}

Recording Recording::Load(const std::string& path, int channels, int sampleRate)
{
    Recording recording;
    recording.sampleRate = sampleRate;
    std::ifstream in(path, std::ios::binary);
    std::vector<int16_t> frame(channels);
    while (in.read(reinterpret_cast<char*>(frame.data()), channels * sizeof(int16_t)))
        recording.samples.push_back(frame[0]);
    return recording;
}

size_t Recording::LoudFrames(int threshold) const
{
    const size_t window = sampleRate / 100;
    size_t loud = 0;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        for (size_t i = start; i < start + window; ++i) {
            if (std::abs(samples[i]) > threshold) {
                loud += window;
                break;
            }
        }
    }
    return loud;
}

double Recording::ToneFrequencyHz(int threshold) const
{
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first >= last)
        return 0.0;
    size_t rising = 0, firstRise = 0, lastRise = 0;
    for (size_t i = first + 1; i <= last; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (rising++ == 0)
                firstRise = i;
            lastRise = i;
        }
    }
    if (rising < 2)
        return 0.0;
    return (rising - 1) * static_cast<double>(sampleRate) / (lastRise - firstRise);
}

double Recording::Amplitude(size_t from, size_t to, double frequencyHz) const
{
    to = std::min(to, samples.size());
    if (from >= to)
        return 0.0;
    const double w = 2.0 * M_PI * frequencyHz / sampleRate, c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = samples[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2.0 * std::sqrt(std::max(s1 * s1 + s2 * s2 - c * s1 * s2, 0.0)) / static_cast<double>(to - from);
}
