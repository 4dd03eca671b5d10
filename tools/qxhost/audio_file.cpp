// libsndfile glue: planar double buffers in and out, format selection by name.
#include "tools/qxhost/audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/qxhost/common.h"

namespace qx::tool {

namespace {

struct NamedFormat {
    const char* name;
    int format;
};

constexpr NamedFormat kTypes[] = {
    {"wav", SF_FORMAT_WAV},   {"w64", SF_FORMAT_W64},   {"rf64", SF_FORMAT_RF64},
    {"aiff", SF_FORMAT_AIFF}, {"aif", SF_FORMAT_AIFF},  {"aifc", SF_FORMAT_AIFF},
    {"caf", SF_FORMAT_CAF},   {"flac", SF_FORMAT_FLAC}, {"ogg", SF_FORMAT_OGG},
    {"oga", SF_FORMAT_OGG},   {"au", SF_FORMAT_AU},     {"snd", SF_FORMAT_AU},
};

constexpr NamedFormat kEncodings[] = {
    {"pcm8", SF_FORMAT_PCM_S8},   {"u8", SF_FORMAT_PCM_U8},     {"pcm16", SF_FORMAT_PCM_16},
    {"pcm24", SF_FORMAT_PCM_24},  {"pcm32", SF_FORMAT_PCM_32},  {"float", SF_FORMAT_FLOAT},
    {"double", SF_FORMAT_DOUBLE}, {"vorbis", SF_FORMAT_VORBIS}, {"opus", SF_FORMAT_OPUS},
    {"ulaw", SF_FORMAT_ULAW},     {"alaw", SF_FORMAT_ALAW},
};

int lookup(const NamedFormat* table, std::size_t size, const std::string& name) {
    const std::string key = lower(name);
    for (std::size_t i = 0; i < size; ++i)
        if (key == table[i].name) return table[i].format;
    return 0;
}

template <std::size_t N>
std::string names(const NamedFormat (&table)[N]) {
    std::string text;
    for (const auto& entry : table) text += (text.empty() ? "" : ", ") + std::string(entry.name);
    return text;
}

bool isInteger(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
            return true;
        default:
            return false;
    }
}

bool valid(int format, int channels, int rate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    return sf_format_check(&info) != 0;
}

}  // namespace

namespace {

[[noreturn]] void unreadable(const std::string& path, const std::string& reason) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw ToolError(kExitInputFile, "cannot read '" + path + "': no such file");
    throw ToolError(kExitInputFile, "cannot read '" + path + "': " + reason);
}

}  // namespace

AudioInfo probeAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) unreadable(path, sf_strerror(nullptr));
    sf_close(file);
    return {info.channels, static_cast<long long>(info.frames), info.samplerate, info.format};
}

Audio readAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) unreadable(path, sf_strerror(nullptr));
    Audio audio;
    audio.sampleRate = info.samplerate;
    audio.format = info.format;
    audio.channels.assign(info.channels, std::vector<double>());
    for (auto& c : audio.channels)
        c.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
    std::vector<double> interleaved(4096 * static_cast<std::size_t>(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_double(file, interleaved.data(), 4096);
        if (got <= 0) break;
        for (sf_count_t n = 0; n < got; ++n)
            for (int c = 0; c < info.channels; ++c)
                audio.channels[c].push_back(interleaved[n * info.channels + c]);
    }
    const int status = sf_error(file);
    const std::string reason = sf_strerror(file);
    sf_close(file);
    if (status != SF_ERR_NO_ERROR)
        throw ToolError(kExitInputFile, "cannot read '" + path + "': " + reason);
    return audio;
}

int resolveFormat(const std::string& outputPath, const OutputFormat& choice, int inputFormat,
                  int channels, int sampleRate) {
    int major = 0;
    if (!choice.type.empty()) {
        major = lookup(kTypes, std::size(kTypes), choice.type);
        if (!major)
            throw ToolError(kExitUsage, "unknown output type '" + choice.type +
                                            "' (known: " + names(kTypes) + ")");
    } else {
        std::string ext = std::filesystem::path(outputPath).extension().string();
        if (!ext.empty()) major = lookup(kTypes, std::size(kTypes), ext.substr(1));
        if (!major) major = inputFormat & SF_FORMAT_TYPEMASK;
        if (!major) major = SF_FORMAT_WAV;
    }
    if (!choice.encoding.empty()) {
        const int subtype = lookup(kEncodings, std::size(kEncodings), choice.encoding);
        if (!subtype)
            throw ToolError(kExitUsage, "unknown encoding '" + choice.encoding +
                                            "' (known: " + names(kEncodings) + ")");
        int format = major | subtype;
        if (major == SF_FORMAT_WAV && subtype == SF_FORMAT_PCM_S8)
            format = major | SF_FORMAT_PCM_U8;
        if (!valid(format, channels, sampleRate))
            throw ToolError(kExitUsage, "cannot write " + choice.encoding + " samples as " +
                                            extensionFor(major) + " (" + std::to_string(channels) +
                                            " channels, " + std::to_string(sampleRate) + " Hz)");
        return format;
    }
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    for (int subtype : {inputSubtype, int(SF_FORMAT_FLOAT), int(SF_FORMAT_PCM_24),
                        int(SF_FORMAT_VORBIS), int(SF_FORMAT_PCM_16)}) {
        if (subtype && valid(major | subtype, channels, sampleRate)) return major | subtype;
    }
    throw ToolError(kExitUsage, "no sample encoding fits " + extensionFor(major) + " with " +
                                    std::to_string(channels) + " channels at " +
                                    std::to_string(sampleRate) + " Hz");
}

std::string extensionFor(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    for (const auto& entry : kTypes)
        if (entry.format == major) return entry.name;
    return "wav";
}

std::string knownTypes() {
    return names(kTypes);
}
std::string knownEncodings() {
    return names(kEncodings);
}

std::string describeFormat(int format) {
    std::string text = extensionFor(format);
    const int subtype = format & SF_FORMAT_SUBMASK;
    for (const auto& entry : kEncodings)
        if (entry.format == subtype) return text + " " + entry.name;
    return text;
}

TempFile::TempFile(const std::string& path) : target_(path) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::string hidden = target.filename().string();
    hidden.insert(hidden.begin(), '.');
    hidden.append(".partial-XXXXXX");
    temp_ = (dir / hidden).string();
    fd_ = mkstemp(temp_.data());
    if (fd_ < 0)
        throw ToolError(kExitWrite, "cannot write '" + path + "': " + std::strerror(errno));
    fchmod(fd_, 0644);
}

TempFile::~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(temp_.c_str());
}

void TempFile::commit() {
    if (fd_ >= 0 && ::close(fd_) != 0) {
        fd_ = -1;
        throw ToolError(kExitWrite, "cannot write '" + target_ + "': " + std::strerror(errno));
    }
    fd_ = -1;
    if (std::rename(temp_.c_str(), target_.c_str()) != 0)
        throw ToolError(kExitWrite, "cannot write '" + target_ + "': " + std::strerror(errno));
    committed_ = true;
}

std::size_t writeAudio(const std::string& path, const Audio& audio, int format) {
    const int channels = static_cast<int>(audio.channels.size());
    TempFile temp(path);
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = audio.sampleRate;
    SNDFILE* file = sf_open_fd(temp.fd(), SFM_WRITE, &info, SF_FALSE);
    if (!file) throw ToolError(kExitWrite, "cannot write '" + path + "': " + sf_strerror(nullptr));
    const bool integer = isInteger(format & SF_FORMAT_SUBMASK);
    if (integer) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::size_t clipped = 0;
    const std::size_t frames = audio.frames();
    std::vector<double> interleaved(4096 * static_cast<std::size_t>(channels));
    for (std::size_t start = 0; start < frames; start += 4096) {
        const std::size_t n = std::min<std::size_t>(4096, frames - start);
        for (std::size_t i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) {
                const double v = audio.channels[c][start + i];
                if (integer && std::fabs(v) > 1.0) ++clipped;
                interleaved[i * channels + c] = v;
            }
        if (sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(n)) !=
            static_cast<sf_count_t>(n)) {
            const std::string reason = sf_strerror(file);
            sf_close(file);
            throw ToolError(kExitWrite, "cannot write '" + path + "': " + reason);
        }
    }
    if (sf_close(file) != 0)
        throw ToolError(kExitWrite, "cannot write '" + path + "': " + std::strerror(errno));
    temp.commit();
    return clipped;
}

}  // namespace qx::tool
