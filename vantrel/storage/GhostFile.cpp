#include "GhostFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include <zlib.h>

#include "AtomicFile.h"
#include "UserFolders.h"
#include "replay/RecordedRun.h"

namespace {

// zlib's CRC-32 of a block, as the file's last four bytes hold it.
std::uint32_t CrcOf(const char* data, std::size_t bytes) {
    return static_cast<std::uint32_t>(
        crc32_z(crc32_z(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data), static_cast<z_size_t>(bytes)));
}

const char Magic[8] = {'V', 'T', 'G', 'H', 'O', 'S', 'T', '\n'};
const std::size_t FixedHeaderBytes = 36;  ///< up to the track key's length
const std::size_t CrcBytes = 4;
const std::size_t InputsHeaderBytes = 8;  ///< tick count and encoded length, after the samples
// Positions beyond this are not a track's (m), nor distances beyond the next.
const float MaxCoordinateM = 1.0e6f;
const float MaxDistanceM = 1.0e7f;
const int MaxGear = 20;
// Quantisation steps: a unit quaternion's parts and the steering, the
// pedals, the wheels' spin (1 mrad) and steering angles (0.1 mrad), the speed (cm/s).
const float UnitScale = 32767.0f;
const float PedalScale = 65535.0f;
const float SpinScale = 1000.0f;
const float SteerScale = 10000.0f;
const float SpeedScale = 100.0f;

/// Little-endian output.
class Writer {
public:
    explicit Writer(std::string& bytes) : bytes(bytes) {}
    void U8(std::uint8_t v) { bytes.push_back(static_cast<char>(v)); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void I64(std::int64_t v) {
        const auto u = static_cast<std::uint64_t>(v);
        U32(static_cast<std::uint32_t>(u));
        U32(static_cast<std::uint32_t>(u >> 32));
    }
    void I16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
    void F32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        U32(bits);
    }
    void Text(const std::string& text) {
        U8(static_cast<std::uint8_t>(text.size()));
        bytes += text;
    }

private:
    std::string& bytes;
};

/// Little-endian input. Every read is checked against the end by the
/// caller first (Has), so none runs past the bytes.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes(bytes) {}
    bool Has(std::size_t count) const { return count <= bytes.size() - at; }
    std::size_t GetOffset() const { return at; }
    std::uint8_t U8() { return static_cast<std::uint8_t>(bytes[at++]); }
    std::uint16_t U16() {
        const std::uint16_t low = U8();
        return static_cast<std::uint16_t>(low | (U8() << 8));
    }
    std::uint32_t U32() {
        const std::uint32_t low = U16();
        return low | (static_cast<std::uint32_t>(U16()) << 16);
    }
    std::int64_t I64() {
        const std::uint64_t low = U32();
        return static_cast<std::int64_t>(low | (static_cast<std::uint64_t>(U32()) << 32));
    }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    float F32() {
        const std::uint32_t bits = U32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::string Text(std::size_t length) {
        std::string text = bytes.substr(at, length);
        at += length;
        return text;
    }

private:
    const std::string& bytes;
    std::size_t at = 0;
};

std::int16_t ToInt16(float value, float scale) {
    return static_cast<std::int16_t>(std::lround(std::clamp(value * scale, -32767.0f, 32767.0f)));
}

std::uint16_t ToUint16(float value, float scale) {
    return static_cast<std::uint16_t>(std::lround(std::clamp(value * scale, 0.0f, 65535.0f)));
}

/// The samples as the file holds them, after the header.
void WriteSamples(const RecordedRun& run, Writer& out) {
    // The spins as the reader will sum them up, so each rounding is made
    // good by the next sample's.
    double spinWrittenRad[RecordedRun::WheelCount] = {};
    for (std::size_t k = 0; k < run.GetSampleCount(); ++k) {
        const RecordedRun::Sample& s = run.GetSample(k);
        out.F32(s.positionM.x);
        out.F32(s.positionM.y);
        out.F32(s.positionM.z);
        const vmath::quat<float> q = vmath::normalize(s.orientation);
        for (const float part : {q.x, q.y, q.z, q.w}) out.I16(ToInt16(part, UnitScale));
        out.F32(s.distanceM);
        out.U16(ToUint16(s.speedMs, SpeedScale));
        out.U16(ToUint16(s.engineRpm, 1.0f));
        out.I16(ToInt16(s.steering, UnitScale));
        out.U16(ToUint16(s.throttle, PedalScale));
        out.U16(ToUint16(s.brake, PedalScale));
        out.U8(static_cast<std::uint8_t>(static_cast<std::int8_t>(std::clamp(s.gear, -1, MaxGear))));
        out.U8(0);
        for (int i = 0; i < RecordedRun::WheelCount; ++i) {
            const std::int16_t step = ToInt16(static_cast<float>(s.wheelSpinRad[i] - spinWrittenRad[i]), SpinScale);
            out.I16(step);
            spinWrittenRad[i] += step / static_cast<double>(SpinScale);
        }
        for (const float steer : s.wheelSteerRad) out.I16(ToInt16(steer, SteerScale));
    }
}

/// Finite throughout, with a rotation to normalise.
bool IsFiniteSample(const RecordedRun::Sample& s) {
    bool finite = std::isfinite(s.positionM.x) && std::isfinite(s.positionM.y) && std::isfinite(s.positionM.z) &&
                  std::isfinite(s.orientation.x) && std::isfinite(s.orientation.y) &&
                  std::isfinite(s.orientation.z) && std::isfinite(s.orientation.w) && std::isfinite(s.distanceM) &&
                  std::isfinite(s.speedMs) && std::isfinite(s.engineRpm) && std::isfinite(s.steering) &&
                  std::isfinite(s.throttle) && std::isfinite(s.brake) &&
                  vmath::dot(s.orientation, s.orientation) > 0.5f;
    for (int i = 0; i < RecordedRun::WheelCount; ++i)
        finite = finite && std::isfinite(s.wheelSpinRad[i]) && std::isfinite(s.wheelSteerRad[i]);
    return finite;
}

// The inputs' encoding deflated: keys held and ramps repeat, a quarter of the bytes.
std::string Deflate(const std::string& bytes) {
    if (bytes.empty()) return {};
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                  static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

/// Inflates `bytes` whole into `out`, never past `limit` bytes.
bool Inflate(const std::string& bytes, std::size_t limit, std::string& out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    out.clear();
    int status = Z_OK;
    char chunk[16384];
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = sizeof chunk - stream.avail_out;
        if ((status != Z_OK && status != Z_STREAM_END) || out.size() + produced > limit) break;
        out.append(chunk, produced);
        if (status == Z_OK && produced == 0 && stream.avail_in == 0) break;  // cut short
    }
    const bool whole = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return whole;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

}  // namespace

const char* const GhostFile::FolderName = "ghosts";

Logger GhostFile::logger("GhostFile");

GhostFile::GhostFile(const std::string& track, const std::string& car)
    : GhostFile(UserFolders::DataFolder().empty() ? "" : UserFolders::DataFolder() + "/" + FolderName, track, car) {}

GhostFile::GhostFile(std::string folderIn, const std::string& trackIn, const std::string& carIn)
    : folder(std::move(folderIn)), track(trackIn), car(carIn) {
    if (!folder.empty() && IsValidTrackKey(track) && IsValidKey(car)) path = folder + "/" + track + "-" + car + ".ghost";
}

bool GhostFile::IsValidKey(const std::string& key) {
    if (key.empty() || key.size() > MaxKeyLength) return false;
    return std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

bool GhostFile::IsValidTrackKey(const std::string& key) {
    if (key.size() > MaxKeyLength) return false;
    // Keys joined by single dashes: the car's key, which has none, still
    // ends the file name unambiguously after the last.
    std::size_t from = 0;
    for (std::size_t dash = key.find('-'); dash != std::string::npos; dash = key.find('-', from)) {
        if (!IsValidKey(key.substr(from, dash - from))) return false;
        from = dash + 1;
    }
    return IsValidKey(key.substr(from));
}

std::size_t GhostFile::MaxFileBytes() {
    return FixedHeaderBytes + 2 * (1 + MaxKeyLength) +
           RecordedRun(RecordedRun::MaxSampleRateHz).GetMaxSamples() * SampleBytes + InputsHeaderBytes +
           RunInputs::MaxEncodedBytes() + CrcBytes;
}

std::string GhostFile::EncodeInputs(const RunInputs& inputs) { return Deflate(inputs.Encode()); }

bool GhostFile::DecodeInputs(const std::string& bytes, std::size_t count, RunInputs& inputs, std::string& problem) {
    std::string encoded;
    if (!Inflate(bytes, RunInputs::MaxEncodedBytes(), encoded)) {
        problem = "not deflated data";
        return false;
    }
    return inputs.Decode(encoded, count, problem);
}

std::uint32_t GhostFile::SamplesCrc(const RecordedRun& run) {
    std::string bytes;
    Writer out(bytes);
    WriteSamples(run, out);
    return CrcOf(bytes.data(), bytes.size());
}

std::string GhostFile::Encode(const RecordedRun& run, const Info& info) {
    if (run.GetSampleCount() < 2 || !IsValidTrackKey(info.track) || !IsValidKey(info.car)) return {};
    for (std::size_t k = 0; k < run.GetSampleCount(); ++k)
        if (!IsFiniteSample(run.GetSample(k))) return {};
    std::string bytes;
    bytes.reserve(FixedHeaderBytes + 2 + info.track.size() + info.car.size() + run.GetSampleCount() * SampleBytes +
                  CrcBytes);
    Writer out(bytes);
    bytes.append(Magic, sizeof Magic);
    out.U32(FormatVersion);
    out.U32(info.trackChecksum);
    out.U32(info.timeMs);
    out.I64(info.dateS);
    out.U16(static_cast<std::uint16_t>(run.GetSampleRateHz()));
    out.U16(static_cast<std::uint16_t>(SampleBytes));
    out.U32(static_cast<std::uint32_t>(run.GetSampleCount()));
    out.Text(info.track);
    out.Text(info.car);
    WriteSamples(run, out);
    const std::string inputs = EncodeInputs(run.GetInputs());
    out.U32(static_cast<std::uint32_t>(run.GetInputs().GetTickCount()));
    out.U32(static_cast<std::uint32_t>(inputs.size()));
    bytes += inputs;
    out.U32(CrcOf(bytes.data(), bytes.size()));
    return bytes;
}

bool GhostFile::Decode(const std::string& bytes, RecordedRun& runOut, Info& infoOut, std::string& problem) {
    Reader in(bytes);
    if (!in.Has(FixedHeaderBytes + 2) || std::memcmp(bytes.data(), Magic, sizeof Magic) != 0) {
        problem = in.Has(sizeof Magic) && std::memcmp(bytes.data(), Magic, sizeof Magic) == 0
                      ? "is shorter than a ghost's header"
                      : "is not a ghost file";
        return false;
    }
    in.Text(sizeof Magic);
    const std::uint32_t version = in.U32();
    if (version != 1 && version != FormatVersion) {
        problem = "has format version " + std::to_string(version) + ", not 1 to " + std::to_string(FormatVersion);
        return false;
    }
    Info info;
    info.trackChecksum = in.U32();
    info.timeMs = in.U32();
    info.dateS = in.I64();
    const int rate = in.U16();
    const std::size_t sampleBytes = in.U16();
    const std::size_t count = in.U32();
    if (rate < RecordedRun::MinSampleRateHz || rate > RecordedRun::MaxSampleRateHz || sampleBytes != SampleBytes) {
        problem = "has " + std::to_string(rate) + " samples a second of " + std::to_string(sampleBytes) +
                  " bytes, not " + std::to_string(RecordedRun::MinSampleRateHz) + " to " +
                  std::to_string(RecordedRun::MaxSampleRateHz) + " of " + std::to_string(SampleBytes);
        return false;
    }
    RecordedRun run(rate);
    if (count < 2 || count > run.GetMaxSamples()) {
        problem = "states " + std::to_string(count) + " samples, not 2 to " + std::to_string(run.GetMaxSamples());
        return false;
    }
    if (info.timeMs == 0) {
        problem = "states a time of 0 ms";
        return false;
    }
    for (std::string* key : {&info.track, &info.car}) {
        if (!in.Has(1) || !in.Has(1 + static_cast<std::size_t>(bytes[in.GetOffset()] & 0xFF))) {
            problem = "is shorter than its header";
            return false;
        }
        const std::size_t length = in.U8();
        *key = in.Text(length);
        if (key == &info.track ? !IsValidTrackKey(*key) : !IsValidKey(*key)) {
            problem = "names a track or car that is not 1 to " + std::to_string(MaxKeyLength) +
                      " letters, digits and '_'";
            return false;
        }
    }
    // The size the header states, against the size there is; the count is
    // bounded, so this cannot overflow.
    const std::size_t samplesEnd = in.GetOffset() + count * SampleBytes;
    std::size_t stated = samplesEnd + CrcBytes;
    std::uint32_t inputTicks = 0, inputBytes = 0;
    if (version >= 2) {
        // Since version 2 the driver's inputs follow the samples.
        if (bytes.size() < samplesEnd + InputsHeaderBytes) {
            problem = "is truncated: " + std::to_string(bytes.size()) + " bytes, before its inputs";
            return false;
        }
        // The reader keeps a reference: the header's bytes must outlive it.
        const std::string header = bytes.substr(samplesEnd, InputsHeaderBytes);
        Reader inputsHeader(header);
        inputTicks = inputsHeader.U32();
        inputBytes = inputsHeader.U32();
        if (inputBytes > RunInputs::MaxEncodedBytes()) {
            problem = "states " + std::to_string(inputBytes) + " bytes of inputs, beyond any run's";
            return false;
        }
        stated += InputsHeaderBytes + inputBytes;
    }
    if (bytes.size() != stated) {
        problem = (bytes.size() < stated ? "is truncated: " : "runs past its stated size: ") +
                  std::to_string(bytes.size()) + " bytes, where its header states " + std::to_string(stated);
        return false;
    }
    const std::uint32_t crc = CrcOf(bytes.data(), bytes.size() - CrcBytes);
    std::uint32_t storedCrc = 0;
    for (std::size_t i = 0; i < CrcBytes; ++i)
        storedCrc |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[bytes.size() - CrcBytes + i]))
                     << (8 * i);
    if (crc != storedCrc) {
        problem = "is damaged (CRC-32 " + Hex(crc) + ", where it states " + Hex(storedCrc) + ")";
        return false;
    }

    info.samplesCrc = CrcOf(bytes.data() + in.GetOffset(), count * SampleBytes);
    Reader& samples = in;
    run.Reserve(count);
    double spinRad[RecordedRun::WheelCount] = {};
    for (std::size_t k = 0; k < count; ++k) {
        const std::string where = "sample " + std::to_string(k);
        RecordedRun::Sample s;
        s.positionM.x = samples.F32();
        s.positionM.y = samples.F32();
        s.positionM.z = samples.F32();
        for (int i = 0; i < 3; ++i)
            if (!(std::fabs(s.positionM[i]) <= MaxCoordinateM)) {
                problem = "has a position that is not a number or beyond " +
                          std::to_string(static_cast<long>(MaxCoordinateM)) + " m in " + where;
                return false;
            }
        vmath::quat<float> q;
        q.x = samples.I16() / UnitScale;
        q.y = samples.I16() / UnitScale;
        q.z = samples.I16() / UnitScale;
        q.w = samples.I16() / UnitScale;
        // A unit quaternion rounded to 16 bits stays well within this.
        if (std::fabs(vmath::dot(q, q) - 1.0f) > 0.01f) {
            problem = "has no rotation in " + where;
            return false;
        }
        s.orientation = vmath::normalize(q);
        s.distanceM = samples.F32();
        if (!(std::fabs(s.distanceM) <= MaxDistanceM)) {
            problem = "has a distance that is not a number or beyond " +
                      std::to_string(static_cast<long>(MaxDistanceM)) + " m in " + where;
            return false;
        }
        s.speedMs = samples.U16() / SpeedScale;
        s.engineRpm = samples.U16();
        s.steering = samples.I16() / UnitScale;
        s.throttle = samples.U16() / PedalScale;
        s.brake = samples.U16() / PedalScale;
        s.gear = static_cast<std::int8_t>(samples.U8());
        if (s.gear < -1 || s.gear > MaxGear || samples.U8() != 0) {
            problem = "has gear " + std::to_string(s.gear) + " or a reserved byte set in " + where;
            return false;
        }
        for (int i = 0; i < RecordedRun::WheelCount; ++i) {
            spinRad[i] += samples.I16() / static_cast<double>(SpinScale);
            s.wheelSpinRad[i] = static_cast<float>(spinRad[i]);
        }
        for (float& steer : s.wheelSteerRad) steer = samples.I16() / SteerScale;
        run.Append(s);
    }
    if (inputBytes > 0 || inputTicks > 0) {
        RunInputs inputs;
        if (!DecodeInputs(bytes.substr(samplesEnd + InputsHeaderBytes, inputBytes), inputTicks, inputs, problem)) {
            problem = "has inputs that cannot be read (" + problem + ")";
            return false;
        }
        run.SetInputs(std::move(inputs));
    }
    runOut = std::move(run);
    infoOut = std::move(info);
    return true;
}

bool GhostFile::Load(std::uint32_t trackChecksum, RecordedRun& run, Info& info) {
    if (path.empty()) return false;
    AtomicFile::RemoveStaleTemporaries(path);
    AtomicFile::RemoveStaleTemporaries(path + ".bak");
    std::string bytes;
    std::string problem;
    switch (AtomicFile::Read(path, MaxFileBytes(), bytes, problem)) {
    case AtomicFile::ReadResult::Missing:
        return false;
    case AtomicFile::ReadResult::Failed:
        SetAside(problem, "racing without a ghost");
        return false;
    case AtomicFile::ReadResult::Read:
        break;
    }
    RecordedRun read;
    Info readInfo;
    if (!Decode(bytes, read, readInfo, problem)) {
        SetAside(path + ": " + problem, "racing without a ghost");
        return false;
    }
    if (readInfo.track != track || readInfo.car != car) {
        SetAside(path + ": holds the ghost of " + readInfo.car + " on " + readInfo.track, "racing without a ghost");
        return false;
    }
    if (readInfo.trackChecksum != trackChecksum) {
        SetAside(path + ": was driven on another shape of the track (centre line " + Hex(readInfo.trackChecksum) +
                     ", not " + Hex(trackChecksum) + ")",
                 "racing without a ghost");
        return false;
    }
    run = std::move(read);
    info = std::move(readInfo);
    return true;
}

bool GhostFile::Save(const RecordedRun& run, std::uint32_t trackChecksum, std::uint32_t timeMs, std::int64_t dateS) {
    if (path.empty() || writeBlocked) return false;
    const Info info{track, car, trackChecksum, timeMs, dateS};
    const std::string bytes = timeMs == 0 ? std::string() : Encode(run, info);
    if (bytes.empty()) {
        Warn(path + ": cannot save the ghost, the run has fewer than two samples, a value that is not finite or a "
                    "time of 0 ms");
        return false;
    }
    std::string error;
    if (!UserFolders::MakeFolder(folder, error)) {
        Warn("cannot save the ghost (" + error + ")");
        return false;
    }
    AtomicFile::Lock lock;
    // Unlocked, two copies may each write; the later one wins. That is all
    // a lock that cannot be had costs.
    lock.Take(path + ".lock", error);

    std::string onDisk;
    bool backUp = false;
    switch (AtomicFile::Read(path, MaxFileBytes(), onDisk, error)) {
    case AtomicFile::ReadResult::Missing:
        break;
    case AtomicFile::ReadResult::Failed:
        SetAside(error, "saving the new ghost");
        break;
    case AtomicFile::ReadResult::Read: {
        RecordedRun held;
        Info heldInfo;
        std::string problem;
        if (!Decode(onDisk, held, heldInfo, problem)) {
            SetAside(path + ": " + problem, "saving the new ghost");
            break;
        }
        // Another copy of the game set a faster one meanwhile.
        if (heldInfo.trackChecksum == trackChecksum && heldInfo.timeMs < timeMs) return false;
        backUp = true;
        break;
    }
    }
    if (writeBlocked) return false;
    if ((backUp && !AtomicFile::Write(path + ".bak", onDisk, error)) || !AtomicFile::Write(path, bytes, error)) {
        Warn("cannot save the ghost (" + error + ")");
        return false;
    }
    return true;
}

void GhostFile::SetAside(const std::string& problem, const char* outcome) {
    std::string asidePath;
    std::string error;
    if (AtomicFile::SetAside(path, asidePath, error)) {
        Warn(problem + "; set aside as " + asidePath + ", " + outcome);
    } else if (errno == ENOENT) {
        // Another copy of the game set it aside meanwhile.
        Warn(problem + "; gone meanwhile, " + outcome);
    } else {
        writeBlocked = true;
        Warn(problem + "; cannot set it aside (" + error + "), no ghost is saved over it in this run");
    }
}

void GhostFile::Warn(const std::string& message) const {
    if (logger.IsEnabled(Logger::Warn)) Logger::Stream(logger, Logger::Warn).GetStream() << message;
}
