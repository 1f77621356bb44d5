#pragma once
// The ghost of one car on one track: the best run the player drove there,
// kept between runs in "<data folder>/ghosts/<track>-<car>.ghost".
//
// The file is ours, binary and little-endian, version 2 (version 1 ends
// after the samples, without the inputs, and still loads):
//
//   offset  size
//        0     8  magic "VTGHOST\n"
//        8     4  format version (1)
//       12     4  CRC-32 of the track's centre line (RoadCentreLine::GetChecksum)
//       16     4  the run's time (ms)
//       20     8  when it was driven (s since 1970-01-01 UTC, signed)
//       28     2  samples a second
//       30     2  bytes a sample (52)
//       32     4  sample count N
//       36     1  track key length T, then T bytes of the key
//   37 + T     1  car key length C, then C bytes of the key
//            52N  the samples (below)
//              4  ticks of input M (0: none recorded)
//              4  bytes of input L, then L bytes: RunInputs::Encode of M
//                 ticks, deflated (zlib)
//              4  CRC-32 of every byte before it
//
// A sample: position x, y, z (float32, m); orientation x, y, z, w (int16,
// times 32767); distance along the centre line (float32, m); speed (uint16,
// cm/s); engine speed (uint16, rpm); steering (int16, times 32767); throttle
// and brake (uint16, times 65535); gear (int8); a zero byte; each wheel's
// spin since the sample before (int16, mrad); each wheel's steering angle
// (int16, 1/10000 rad). The spins are rounded against the sum of those
// already written, so the wheels come back without drifting.
//
// A 3-minute run at 50 samples a second takes about 470 kB, its inputs a
// few tens of kB more.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nodara/Logger.h>

class RecordedRun;
class RunInputs;

/// Reads and writes one ghost file, with the care the player's other files
/// get (AtomicFile): bounded reads of regular files only, atomic writes
/// with the previous file kept as "<name>.bak", and a file that cannot be
/// used set aside, never overwritten.
class GhostFile {
public:
    /// What the header says besides the samples.
    struct Info {
        std::string track;                ///< the track's key
        std::string car;                  ///< the car's key, as the records name it
        std::uint32_t trackChecksum = 0;  ///< of the centre line it was driven on
        std::uint32_t timeMs = 0;         ///< the run's time (ms)
        std::int64_t dateS = 0;           ///< when it was driven (s since 1970, UTC)
        /// CRC-32 of the samples as the file holds them (SamplesCrc of the
        /// run written); set by Decode, not used by Encode.
        std::uint32_t samplesCrc = 0;
    };

    static constexpr std::uint32_t FormatVersion = 2;
    static constexpr std::size_t SampleBytes = 52;
    static constexpr std::size_t MaxKeyLength = 64;
    static const char* const FolderName;  ///< "ghosts"

    /// The ghost of `car` on `track` in UserFolders::DataFolder()/ghosts.
    GhostFile(const std::string& track, const std::string& car);
    /// The ghost of `car` on `track` in `folder`. No file (every Load and
    /// Save false) when `folder` is empty, `track` is not IsValidTrackKey or
    /// `car` not IsValidKey.
    GhostFile(std::string folder, const std::string& track, const std::string& car);

    /// Reads the ghost, for a track whose centre line has `trackChecksum`.
    /// No file means no ghost, silently. A file that cannot be read, is not
    /// a regular file, is larger than any ghost, or that Decode refuses, or
    /// one of other keys than its name says, or driven on other geometry
    /// (another checksum), is renamed aside (AtomicFile::SetAside) with one
    /// Warn line, and there is no ghost. Should that rename fail, Save
    /// never writes over the file in this object's life.
    /// @return true with `run` and `info` set; false leaves them alone
    bool Load(std::uint32_t trackChecksum, RecordedRun& run, Info& info);

    /// Keeps `run` as the ghost, made the folder first where needed: written
    /// atomically, the file it replaces kept as "<name>.bak". Under a lock
    /// ("<name>.lock"), so two copies of the game each saving a ghost keep
    /// the faster: a usable ghost on the disk for the same geometry and
    /// faster than `timeMs` stays. A file there that is unusable is set
    /// aside first, as by Load. A failure to write says why in one Warn line.
    /// @return true when the file now holds `run`
    bool Save(const RecordedRun& run, std::uint32_t trackChecksum, std::uint32_t timeMs, std::int64_t dateS);

    /// Empty when there is no file (see the constructor).
    const std::string& GetPath() const { return path; }

    /// A key that may name a ghost file: 1 to MaxKeyLength letters, digits and '_'.
    static bool IsValidKey(const std::string& key);
    /// A track's key: valid keys joined by single '-', as a track and its
    /// way ("GreenValley-reverse"), MaxKeyLength at most.
    static bool IsValidTrackKey(const std::string& key);
    /// The largest file a ghost can be: MaxDurationS at the highest rate.
    static std::size_t MaxFileBytes();

    /// The file's bytes; empty when `run` has fewer than two samples, a
    /// value that is not finite, or `info` a key that is not valid.
    static std::string Encode(const RecordedRun& run, const Info& info);
    /// `inputs` as the file holds them: RunInputs::Encode, deflated.
    static std::string EncodeInputs(const RunInputs& inputs);
    /// Reads `count` ticks of inputs held as EncodeInputs writes them,
    /// inflated to RunInputs::MaxEncodedBytes at most.
    /// @return true with `inputs` set; false (with `problem`) leaves them alone
    static bool DecodeInputs(const std::string& bytes, std::size_t count, RunInputs& inputs, std::string& problem);
    /// CRC-32 of `run`'s samples as Encode writes them: a run driven again
    /// to the same poses, to the bit, has the same.
    static std::uint32_t SamplesCrc(const RecordedRun& run);
    /// Reads a file's bytes: every count bounded by the bytes there are,
    /// every value checked.
    /// @param problem set to why, when false is returned
    /// @return true with `run` and `info` set; false leaves them alone
    static bool Decode(const std::string& bytes, RecordedRun& run, Info& info, std::string& problem);

private:
    /// Renames the file aside and says so in one Warn line after `problem`.
    void SetAside(const std::string& problem, const char* outcome);
    void Warn(const std::string& message) const;

    std::string folder;
    std::string path;
    std::string track;
    std::string car;
    bool writeBlocked = false;  ///< an unusable file could not be set aside: never write over it

    static Logger logger;
};
