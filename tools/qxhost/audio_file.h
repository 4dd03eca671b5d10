// Audio files through libsndfile: probing, reading into planar buffers, choosing an output
// type and sample encoding, and writing through a temporary file renamed into place.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qx::tool {

using Planar = std::vector<std::vector<double>>;

struct AudioInfo {
    int channels = 0;
    long long frames = 0;
    int sampleRate = 0;
    int format = 0;  // libsndfile major | subtype
};

struct Audio {
    int sampleRate = 44100;
    int format = 0;  // of the file it came from; 0 for generated audio
    Planar channels;
    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Throw ToolError(kExitInputFile) with libsndfile's reason when the file cannot be read.
AudioInfo probeAudio(const std::string& path);
Audio readAudio(const std::string& path);

// User-facing choices; empty strings mean "choose for me".
struct OutputFormat {
    std::string type;      // wav, flac, aiff, ...
    std::string encoding;  // pcm16, pcm24, float, ...
};

// The libsndfile format for an output: the type from the option, else from the output
// name's extension, else the input's; the encoding from the option, else the input's when
// the type can hold it, else the best the type offers. ToolError(kExitUsage) when the
// combination is impossible.
int resolveFormat(const std::string& outputPath, const OutputFormat& choice, int inputFormat,
                  int channels, int sampleRate);
// Extension (without dot) for a libsndfile major format.
std::string extensionFor(int format);
// Short names for help texts.
std::string knownTypes();
std::string knownEncodings();
// Human-readable "WAV float" description.
std::string describeFormat(int format);

// Writes planar audio; integer encodings clip at full scale. Returns the number of samples
// that had to be clipped. ToolError(kExitWrite) on failure, leaving nothing behind.
std::size_t writeAudio(const std::string& path, const Audio& audio, int format);

// A temporary name next to `path` (same directory, so rename is atomic) that is removed
// on destruction unless committed.
class TempFile {
  public:
    explicit TempFile(const std::string& path);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    int fd() const { return fd_; }
    const std::string& name() const { return temp_; }
    // Renames over the target; ToolError(kExitWrite) on failure.
    void commit();
    void releaseFd() { fd_ = -1; }

  private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace qx::tool
