#include "cli/OutputFormat.h"

#include <sndfile.h>

#include <array>
#include <cctype>

#include "lib/zarn.h"
#include "text/Translation.h"

namespace zarn::cli {
namespace {

constexpr int kOwnWave = 0;
constexpr int kNotWritten = -1;
constexpr int kZarn = -2;

struct Extension {
    const char* name;  // lower case, without the dot
    int format;        // a libsndfile format, kOwnWave, kNotWritten or kZarn
};

// Every extension a sound file commonly has; those zarn writes come first.
const std::array<Extension, 31> kExtensions{{
    {"wav", kOwnWave},
    {"wave", kOwnWave},
    {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    {"aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {"oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
    {"oza", kZarn},
    {"zarn", kZarn},
    // Opus holds no 44.1 kHz; the rest are formats of their own.
    {"opus", kNotWritten}, {"aifc", kNotWritten}, {"caf", kNotWritten}, {"w64", kNotWritten},
    {"rf64", kNotWritten}, {"au", kNotWritten},   {"snd", kNotWritten}, {"mp2", kNotWritten},
    {"mpa", kNotWritten},  {"m4a", kNotWritten},  {"aac", kNotWritten}, {"mp4", kNotWritten},
    {"wma", kNotWritten},  {"wv", kNotWritten},   {"ape", kNotWritten}, {"mka", kNotWritten},
    {"webm", kNotWritten}, {"ac3", kNotWritten},  {"amr", kNotWritten}, {"spx", kNotWritten},
    {"voc", kNotWritten},
}};

// The extension of `name`'s last component in lower case; empty when it has none.
std::string extensionOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot <= base) return "";
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// Whether the installed libsndfile writes `format` as the decoder gives it:
// MPEG only where it was built with an MP3 encoder.
bool writable(int format) {
    if (format == kOwnWave) return true;
    if (format < 0) return false;
    SF_INFO info{};
    info.samplerate = ZARN_SAMPLE_RATE;
    info.channels = 1;
    info.format = format;
    return sf_format_check(&info) == SF_TRUE;
}

const Extension* find(const std::string& extension) {
    for (const Extension& known : kExtensions) {
        if (extension == known.name) return &known;
    }
    return nullptr;
}

}  // namespace

int decodedFormat(const std::string& name) {
    const Extension* known = find(extensionOf(name));
    if (known == nullptr) return kOwnWave;
    return writable(known->format) ? known->format : kNotWritten;
}

std::string outputRefusal(const std::string& name, bool decoding) {
    const std::string extension = extensionOf(name);
    const Extension* known = find(extension);
    if (known == nullptr) return "";
    if (!decoding) {
        if (known->format == kZarn) return "";
        return text::format(text::tr("encodes to Zarn, not to .%s (a name ending in .oza or .zarn, or -d to decode)"),
                            extension.c_str());
    }
    if (known->format == kZarn) return text::tr("-d decodes to sound, not to a Zarn file");
    if (writable(known->format)) return "";
    std::string served;
    for (const Extension& other : kExtensions) {
        // One name for each format, as users mostly spell it.
        const std::string spelt = other.name;
        if (spelt == "wave" || spelt == "aif" || spelt == "oga" || !writable(other.format)) continue;
        served += (served.empty() ? "." : ", .") + spelt;
    }
    return text::format(text::tr("cannot decode to .%s (only %s)"), extension.c_str(), served.c_str());
}

}  // namespace zarn::cli
