// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/ModuleDecoder.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"
#include "engine/SharedLibrary.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include <libopenmpt/libopenmpt.h>

namespace tindrel::engine {
namespace {

// Modules are small; anything bigger than this is not one.
constexpr std::streamsize kMaxModuleBytes = 64 << 20;

// The module library brings decoders of its own and runs their set-up when
// it is loaded, which doubled the start of a command that never plays a
// module; it is loaded when the first module is opened.
#define TINDREL_OPENMPT_CALLS(X)                                                                                       \
    X(openmpt_error_func_ignore)                                                                                       \
    X(openmpt_log_func_silent)                                                                                         \
    X(openmpt_module_create_from_memory2)                                                                              \
    X(openmpt_module_destroy)                                                                                          \
    X(openmpt_module_get_duration_seconds)                                                                             \
    X(openmpt_module_read_interleaved_stereo)                                                                          \
    X(openmpt_module_set_position_seconds)

struct OpenMpt {
    TINDREL_OPENMPT_CALLS(TINDREL_LIBRARY_MEMBER)
};

// Throws EngineError(BASS_ERROR_NOTAVAIL) when the library cannot be used.
const OpenMpt& openMpt() {
    return LibraryCalls<OpenMpt>("openmpt", OPENMPT_API_VERSION_MAJOR,
                                 TINDREL_LIBRARY_FILLER(OpenMpt, TINDREL_OPENMPT_CALLS),
                                 [] { throw EngineError(BASS_ERROR_NOTAVAIL); });
}

struct ModuleDestroyer {
    void operator()(openmpt_module* m) const { openMpt().openmpt_module_destroy(m); }
};

class ModuleDecoder final : public Decoder {
public:
    ModuleDecoder(const std::string& path, int rate);

    int rate() const override { return m_rate; }
    int channels() const override { return 2; }
    std::size_t read(int16_t* out, std::size_t frames) override;
    bool finished() const override { return m_finished; }
    bool seek(int64_t frame) override;
    int64_t lengthFrames() const override { return m_length; }

private:
    std::unique_ptr<openmpt_module, ModuleDestroyer> m_module;
    int m_rate;
    int64_t m_length = 0;
    bool m_finished = false;
};

std::vector<char> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw EngineError(BASS_ERROR_FILEOPEN);
    const std::streamsize size = in.tellg();
    if (size <= 0 || size > kMaxModuleBytes)
        throw EngineError(BASS_ERROR_FILEFORM);
    std::vector<char> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(bytes.data(), size))
        throw EngineError(BASS_ERROR_FILEOPEN);
    return bytes;
}

ModuleDecoder::ModuleDecoder(const std::string& path, int rate) : m_rate(rate) {
    const std::vector<char> bytes = readWholeFile(path);
    const OpenMpt& mpt = openMpt();
    m_module.reset(mpt.openmpt_module_create_from_memory2(bytes.data(), bytes.size(), mpt.openmpt_log_func_silent,
                                                          nullptr, mpt.openmpt_error_func_ignore, nullptr, nullptr,
                                                          nullptr, nullptr));
    if (!m_module)
        throw EngineError(BASS_ERROR_FILEFORM);
    m_length = static_cast<int64_t>(std::llround(mpt.openmpt_module_get_duration_seconds(m_module.get()) * rate));
}

std::size_t ModuleDecoder::read(int16_t* out, std::size_t frames) {
    if (m_finished)
        return 0;
    const std::size_t got = openMpt().openmpt_module_read_interleaved_stereo(m_module.get(), m_rate, frames, out);
    if (got == 0)
        m_finished = true;
    return got;
}

bool ModuleDecoder::seek(int64_t frame) {
    openMpt().openmpt_module_set_position_seconds(m_module.get(), static_cast<double>(frame) / m_rate);
    m_finished = false;
    return true;
}

} // namespace

std::unique_ptr<Decoder> OpenModuleDecoder(const std::string& path, int rate) {
    return std::make_unique<ModuleDecoder>(path, rate);
}

} // namespace tindrel::engine
