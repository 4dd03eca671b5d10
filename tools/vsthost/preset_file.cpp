// .fxp / .fxb encoding (big-endian throughout) and transfer to and from a plug-in.
#include "tools/vsthost/preset_file.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "framework/vst2.h"
#include "tools/vsthost/platform.h"
#include "tools/vsthost/plugin_host.h"

namespace qx::host {

namespace {

constexpr std::int32_t kCcnK = vst::fourCC('C', 'c', 'n', 'K');
constexpr std::int32_t kFxCk = vst::fourCC('F', 'x', 'C', 'k');
constexpr std::int32_t kFxBk = vst::fourCC('F', 'x', 'B', 'k');
constexpr std::int32_t kFPCh = vst::fourCC('F', 'P', 'C', 'h');
constexpr std::int32_t kFBCh = vst::fourCC('F', 'B', 'C', 'h');
constexpr std::size_t kNameBytes = 28;
constexpr std::size_t kBankReserved = 128;
// magic, byteSize, kind, version, id, plug-in version, count
constexpr std::size_t kHeaderBytes = 7 * 4;

class Reader {
  public:
    Reader(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t end)
        : bytes_(bytes), at_(begin), end_(end) {}
    bool has(std::size_t n) const { return end_ - at_ >= n; }
    std::size_t remaining() const { return end_ - at_; }
    std::size_t position() const { return at_; }
    std::int32_t i32() {
        std::uint32_t v = (std::uint32_t(bytes_[at_]) << 24) |
                          (std::uint32_t(bytes_[at_ + 1]) << 16) |
                          (std::uint32_t(bytes_[at_ + 2]) << 8) | std::uint32_t(bytes_[at_ + 3]);
        at_ += 4;
        return static_cast<std::int32_t>(v);
    }
    float f32() { return std::bit_cast<float>(i32()); }
    std::string name() {
        const char* p = reinterpret_cast<const char*>(bytes_.data() + at_);
        std::string s(p, strnlen(p, kNameBytes));
        at_ += kNameBytes;
        return s;
    }
    void skip(std::size_t n) { at_ += n; }
    // The next n bytes as a reader of their own; this one moves past them.
    Reader sub(std::size_t n) {
        Reader inner(bytes_, at_, at_ + n);
        at_ += n;
        return inner;
    }
    std::vector<std::uint8_t> take(std::size_t n) {
        std::vector<std::uint8_t> v(bytes_.begin() + at_, bytes_.begin() + at_ + n);
        at_ += n;
        return v;
    }

  private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_, end_;
};

class Writer {
  public:
    void i32(std::int32_t v) {
        auto u = static_cast<std::uint32_t>(v);
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back((u >> shift) & 0xff);
    }
    void f32(float v) { i32(std::bit_cast<std::int32_t>(v)); }
    void name(const std::string& s) {
        std::size_t n = std::min(s.size(), kNameBytes - 1);
        bytes.insert(bytes.end(), s.begin(), s.begin() + n);
        bytes.insert(bytes.end(), kNameBytes - n, 0);
    }
    void zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
    void raw(const std::vector<std::uint8_t>& v) { bytes.insert(bytes.end(), v.begin(), v.end()); }
    // Fills in the byteSize field of the record that starts at `start`.
    void patchSize(std::size_t start) {
        auto size = static_cast<std::uint32_t>(bytes.size() - start - 8);
        for (int k = 0; k < 4; ++k) bytes[start + 4 + k] = (size >> (24 - 8 * k)) & 0xff;
    }
    std::vector<std::uint8_t> bytes;
};

std::string fourCCText(std::int32_t v) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>((v >> shift) & 0xff);
        if (c < 32 || c >= 127) return std::to_string(v);
        s += c;
    }
    return "'" + s + "'";
}

// One program record ('CcnK' ... ) starting at the reader's position. Sets *chunked.
bool parseProgramRecord(Reader& r, PresetFile* file, PresetProgram* program, bool* chunked,
                        std::string* error) {
    if (!r.has(8)) return *error = "truncated file (program header)", false;
    if (std::int32_t magic = r.i32(); magic != kCcnK)
        return *error = "not a preset file (magic " + fourCCText(magic) + ", expected 'CcnK')",
               false;
    const std::int32_t byteSize = r.i32();
    if (byteSize < 0 || static_cast<std::size_t>(byteSize) > r.remaining())
        return *error = "truncated file (record says " + std::to_string(byteSize) + " bytes, " +
                        std::to_string(r.remaining()) + " present)",
               false;
    Reader body = r.sub(static_cast<std::size_t>(byteSize));
    if (!body.has(kHeaderBytes - 8 + kNameBytes)) return *error = "truncated file (program)", false;
    const std::int32_t kind = body.i32();
    if (kind != kFxCk && kind != kFPCh)
        return *error = "not a program record (kind " + fourCCText(kind) + ")", false;
    body.i32();  // format version
    file->uniqueId = body.i32();
    file->pluginVersion = body.i32();
    const std::int32_t count = body.i32();
    program->name = body.name();
    *chunked = kind == kFPCh;
    if (*chunked) {
        if (!body.has(4)) return *error = "truncated file (chunk size)", false;
        const std::int32_t size = body.i32();
        if (size < 0 || static_cast<std::size_t>(size) > body.remaining())
            return *error = "truncated file (chunk)", false;
        program->chunk = body.take(static_cast<std::size_t>(size));
        return true;
    }
    if (count < 0 || static_cast<std::size_t>(count) * 4 > body.remaining())
        return *error = "truncated file (" + std::to_string(count) + " parameters announced, " +
                        std::to_string(body.remaining() / 4) + " present)",
               false;
    file->numParams = count;
    program->values.resize(count);
    for (auto& v : program->values) v = body.f32();
    return true;
}

void writeProgramRecord(Writer& w, const PresetFile& file, const PresetProgram& program,
                        bool chunked) {
    const std::size_t start = w.bytes.size();
    w.i32(kCcnK);
    w.i32(0);
    w.i32(chunked ? kFPCh : kFxCk);
    w.i32(1);
    w.i32(file.uniqueId);
    w.i32(file.pluginVersion);
    w.i32(chunked ? 1 : static_cast<std::int32_t>(program.values.size()));
    w.name(program.name);
    if (chunked) {
        w.i32(static_cast<std::int32_t>(program.chunk.size()));
        w.raw(program.chunk);
    } else {
        for (float v : program.values) w.f32(v);
    }
    w.patchSize(start);
}

bool applyValues(Plugin& plugin, const PresetProgram& program, std::string* error) {
    if (static_cast<int>(program.values.size()) != plugin.numParams())
        return *error = "preset has " + std::to_string(program.values.size()) +
                        " parameters, the plug-in has " + std::to_string(plugin.numParams()),
               false;
    for (int i = 0; i < plugin.numParams(); ++i) plugin.setParameter(i, program.values[i]);
    return true;
}

bool applyChunk(Plugin& plugin, const std::vector<std::uint8_t>& chunk, bool isProgram,
                std::string* error) {
    if (!plugin.programChunks())
        return *error = "preset holds chunk data but the plug-in does not accept chunks", false;
    std::vector<std::uint8_t> copy = chunk;  // plug-ins receive a writable buffer
    plugin.dispatch(vst::effSetChunk, isProgram ? 1 : 0, static_cast<vst::VstIntPtr>(copy.size()),
                    copy.data());
    return true;
}

}  // namespace

bool parsePreset(const std::vector<std::uint8_t>& bytes, PresetFile* out, std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    PresetFile file;
    Reader r(bytes, 0, bytes.size());
    if (bytes.size() >= 4 && Reader(bytes, 0, 4).i32() != kCcnK)
        return *error = "not a preset file (magic " + fourCCText(Reader(bytes, 0, 4).i32()) +
                        ", expected 'CcnK')",
               false;
    if (bytes.size() < 12)
        return *error = "truncated file (" + std::to_string(bytes.size()) + " bytes)", false;
    Reader peek(r);
    if (std::int32_t magic = peek.i32(); magic != kCcnK)
        return *error = "not a preset file (magic " + fourCCText(magic) + ", expected 'CcnK')",
               false;
    peek.i32();
    const std::int32_t kind = peek.i32();
    if (kind == kFxCk || kind == kFPCh) {
        file.kind = PresetFile::Kind::Program;
        PresetProgram program;
        if (!parseProgramRecord(r, &file, &program, &file.chunked, error)) return false;
        file.programs.push_back(std::move(program));
        *out = std::move(file);
        return true;
    }
    if (kind != kFxBk && kind != kFBCh)
        return *error = "unknown preset kind " + fourCCText(kind) +
                        " (expected 'FxCk', 'FPCh', 'FxBk' or 'FBCh')",
               false;
    file.kind = PresetFile::Kind::Bank;
    file.chunked = kind == kFBCh;
    r.skip(4);
    const std::int32_t byteSize = r.i32();
    if (byteSize < 0 || static_cast<std::size_t>(byteSize) > r.remaining())
        return *error = "truncated file (bank says " + std::to_string(byteSize) + " bytes, " +
                        std::to_string(r.remaining()) + " present)",
               false;
    Reader body(bytes, r.position(), r.position() + static_cast<std::size_t>(byteSize));
    if (!body.has(kHeaderBytes - 8 + kBankReserved))
        return *error = "truncated file (bank header)", false;
    body.skip(4);
    file.formatVersion = body.i32();
    file.uniqueId = body.i32();
    file.pluginVersion = body.i32();
    const std::int32_t count = body.i32();
    if (file.formatVersion >= 2) {
        file.currentProgram = body.i32();
        body.skip(kBankReserved - 4);
    } else {
        body.skip(kBankReserved);
    }
    if (count < 0) return *error = "bad program count " + std::to_string(count), false;
    if (file.chunked) {
        if (!body.has(4)) return *error = "truncated file (chunk size)", false;
        const std::int32_t size = body.i32();
        if (size < 0 || static_cast<std::size_t>(size) > body.remaining())
            return *error = "truncated file (chunk)", false;
        file.bankChunk = body.take(static_cast<std::size_t>(size));
        *out = std::move(file);
        return true;
    }
    int params = -1;
    for (int p = 0; p < count; ++p) {
        PresetProgram program;
        PresetFile inner;
        bool chunked = false;
        if (!parseProgramRecord(body, &inner, &program, &chunked, error)) {
            *error = "program " + std::to_string(p) + ": " + *error;
            return false;
        }
        if (chunked) return *error = "chunk program inside a parameter bank", false;
        if (params >= 0 && inner.numParams != params)
            return *error = "programs disagree on the parameter count", false;
        params = inner.numParams;
        file.programs.push_back(std::move(program));
    }
    file.numParams = std::max(params, 0);
    *out = std::move(file);
    return true;
}

std::vector<std::uint8_t> serializePreset(const PresetFile& preset) {
    Writer w;
    if (preset.kind == PresetFile::Kind::Program) {
        PresetProgram empty;
        writeProgramRecord(w, preset, preset.programs.empty() ? empty : preset.programs.front(),
                           preset.chunked);
        return std::move(w.bytes);
    }
    w.i32(kCcnK);
    w.i32(0);
    w.i32(preset.chunked ? kFBCh : kFxBk);
    const bool withCurrent = preset.currentProgram >= 0;
    w.i32(withCurrent ? 2 : 1);
    w.i32(preset.uniqueId);
    w.i32(preset.pluginVersion);
    w.i32(static_cast<std::int32_t>(preset.programs.size()));
    if (withCurrent) {
        w.i32(preset.currentProgram);
        w.zeros(kBankReserved - 4);
    } else {
        w.zeros(kBankReserved);
    }
    if (preset.chunked) {
        w.i32(static_cast<std::int32_t>(preset.bankChunk.size()));
        w.raw(preset.bankChunk);
    } else {
        for (const auto& program : preset.programs) writeProgramRecord(w, preset, program, false);
    }
    w.patchSize(0);
    return std::move(w.bytes);
}

bool readPresetFile(const std::string& path, PresetFile* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return *error = "cannot open " + path + ": " + std::strerror(errno), false;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) return *error = "cannot read " + path, false;
    if (!parsePreset(bytes, out, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool writePresetFile(const std::string& path, const PresetFile& preset, std::string* error) {
    return platform::writeFileReplacing(path, serializePreset(preset), error);
}

PresetFile captureProgram(Plugin& plugin) {
    PresetFile file;
    file.kind = PresetFile::Kind::Program;
    file.uniqueId = plugin.uniqueId();
    file.pluginVersion = plugin.version();
    file.numParams = plugin.numParams();
    PresetProgram program;
    program.name = plugin.programName();
    for (int i = 0; i < plugin.numParams(); ++i) program.values.push_back(plugin.getParameter(i));
    file.programs.push_back(std::move(program));
    return file;
}

PresetFile captureBank(Plugin& plugin) {
    PresetFile file;
    file.kind = PresetFile::Kind::Bank;
    file.formatVersion = 2;
    file.uniqueId = plugin.uniqueId();
    file.pluginVersion = plugin.version();
    file.numParams = plugin.numParams();
    const int current = plugin.program();
    file.currentProgram = std::max(current, 0);
    for (int p = 0; p < plugin.numPrograms(); ++p) {
        plugin.setProgram(p);
        file.programs.push_back(captureProgram(plugin).programs.front());
    }
    if (plugin.numPrograms() > 0) plugin.setProgram(file.currentProgram);
    return file;
}

bool applyPreset(Plugin& plugin, const PresetFile& preset, std::string* error,
                 ApplyOptions options) {
    std::string scratch;
    if (!error) error = &scratch;
    if (!options.ignoreUniqueId && preset.uniqueId != plugin.uniqueId())
        return *error = "preset belongs to plug-in ID " + fourCCText(preset.uniqueId) +
                        ", this plug-in is " + fourCCText(plugin.uniqueId()),
               false;
    if (preset.kind == PresetFile::Kind::Program) {
        if (preset.programs.empty()) return *error = "empty program", false;
        const PresetProgram& program = preset.programs.front();
        if (preset.chunked) {
            if (!applyChunk(plugin, program.chunk, true, error)) return false;
        } else if (!applyValues(plugin, program, error)) {
            return false;
        }
        plugin.setProgramName(program.name);
        return true;
    }
    if (preset.chunked) return applyChunk(plugin, preset.bankChunk, false, error);
    if (static_cast<int>(preset.programs.size()) > plugin.numPrograms())
        return *error = "bank has " + std::to_string(preset.programs.size()) +
                        " programs, the plug-in has " + std::to_string(plugin.numPrograms()),
               false;
    if (!preset.programs.empty() && preset.numParams != plugin.numParams())
        return *error = "bank has " + std::to_string(preset.numParams) +
                        " parameters per program, the plug-in has " +
                        std::to_string(plugin.numParams()),
               false;
    const int previous = plugin.program();
    for (std::size_t p = 0; p < preset.programs.size(); ++p) {
        plugin.setProgram(static_cast<int>(p));
        plugin.setProgramName(preset.programs[p].name);
        if (!applyValues(plugin, preset.programs[p], error)) return false;
    }
    int restore = previous;
    if (preset.currentProgram >= 0 && preset.currentProgram < plugin.numPrograms())
        restore = preset.currentProgram;
    if (plugin.numPrograms() > 0) plugin.setProgram(std::max(restore, 0));
    return true;
}

bool loadPresetFile(Plugin& plugin, const std::string& path, std::string* error,
                    ApplyOptions options) {
    PresetFile preset;
    if (!readPresetFile(path, &preset, error)) return false;
    if (!applyPreset(plugin, preset, error, options)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool saveProgramFile(Plugin& plugin, const std::string& path, std::string* error) {
    return writePresetFile(path, captureProgram(plugin), error);
}

bool saveBankFile(Plugin& plugin, const std::string& path, std::string* error) {
    return writePresetFile(path, captureBank(plugin), error);
}

}  // namespace qx::host
