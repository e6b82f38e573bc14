#include "cli/Resampler.h"

#include "cli/FileFailure.h"
#include "text/Translation.h"

namespace zarn::cli {

Resampler::Resampler(double inputRate, const std::string& file, unsigned channels, double outputRate)
    : file_(file) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_ = soxr_create(inputRate, outputRate, channels, &error, &io, &quality, &runtime);
    if (soxr_ == nullptr || error != nullptr) {
        soxr_delete(soxr_);
        throw FileFailure(inputName(file_), text::tr("the sample rate cannot be converted"));
    }
}

Resampler::~Resampler() { soxr_delete(soxr_); }

std::size_t Resampler::process(const double* in, std::size_t count, std::size_t* taken, double* out,
                               std::size_t capacity) {
    std::size_t used = 0, written = 0;
    const soxr_error_t error = soxr_process(soxr_, in, in == nullptr ? 0 : count, &used, out, capacity, &written);
    if (error != nullptr) throw FileFailure(inputName(file_), text::tr("error while converting the sample rate"));
    if (taken != nullptr) *taken = used;
    return written;
}

}  // namespace zarn::cli
