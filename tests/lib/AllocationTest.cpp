// libzarn allocates only when an object is created: a program of its own, so
// that it starts with none of the codec's process-wide tables built, with
// every operator new counted.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "lib/zarn.h"
#include "tools/MusicSignal.h"

namespace {

// Allocations made through operator new in this process so far.
std::size_t allocations = 0;

void* counted(std::size_t size, std::size_t alignment) {
    ++allocations;
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* countedOrThrow(std::size_t size, std::size_t alignment) {
    void* memory = counted(size, alignment);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

}  // namespace

// Every form of new and delete, so that all memory is malloc's and free's
// alike, whichever of them a sanitizer would otherwise pair up.
void* operator new(std::size_t size) { return countedOrThrow(size, 0); }
void* operator new[](std::size_t size) { return countedOrThrow(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) { return countedOrThrow(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return countedOrThrow(size, static_cast<std::size_t>(a)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted(size, 0); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return counted(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return counted(size, static_cast<std::size_t>(a));
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }

namespace zarn::test {
namespace {

// Output functions that allocate nothing: bytes go into room made before.
int keepBytes(void* to, const std::uint8_t* bytes, std::size_t size) {
    auto& kept = *static_cast<std::vector<std::uint8_t>*>(to);
    if (kept.size() + size > kept.capacity()) return -1;
    kept.insert(kept.end(), bytes, bytes + size);
    return 0;
}
int dropSamples(void*, const std::int16_t*, std::size_t) { return 0; }

// Runs the calls that `feed` makes (writing, then finishing) and expects each
// to succeed without one allocation; the counting stops before GoogleTest's
// own checks, which allocate.
template <class Feed>
void expectNoAllocation(Feed feed) {
    const std::size_t before = allocations;
    const auto [written, finished] = feed();
    const std::size_t made = allocations - before;
    EXPECT_EQ(written, ZARN_OK);
    EXPECT_EQ(finished, ZARN_OK);
    EXPECT_EQ(made, 0u);
}

TEST(Allocation, OnlyCreatingAnObjectAllocates) {
    const std::vector<std::int16_t> music = makeMusicSignal(70 * 256 + 5, 8);
    std::vector<std::uint8_t> stream;
    stream.reserve(music.size() / 256 * ZARN_MAX_FRAME_BYTES + 2 * ZARN_MAX_FRAME_BYTES);
    // Each kind's first object in the process, so that whatever it needs
    // process-wide is built when it is created or not at all.
    for (const zarn_encoder_kind kind : {ZARN_ENCODER_REDUCED, ZARN_ENCODER_FULL, ZARN_ENCODER_BITRATE}) {
        SCOPED_TRACE(kind);
        stream.clear();
        zarn_encoder* encoder = zarn_encoder_create(kind, keepBytes, &stream, nullptr);
        ASSERT_NE(encoder, nullptr);
        expectNoAllocation([&] {
            const int written = zarn_encoder_write(encoder, music.data(), music.size());
            return std::pair(written, zarn_encoder_finish(encoder));
        });
        zarn_encoder_destroy(encoder);
    }

    zarn_decoder* decoder = zarn_decoder_create(dropSamples, nullptr, nullptr);
    ASSERT_NE(decoder, nullptr);
    expectNoAllocation([&] {
        const int written = zarn_decoder_write(decoder, stream.data(), stream.size());
        return std::pair(written, zarn_decoder_finish(decoder));
    });
    zarn_decoder_destroy(decoder);
}

// A file in memory for the file calls.
struct Memory {
    const std::vector<std::uint8_t>* bytes;
    std::int64_t at = 0;
};
long readMemory(void* user, std::uint8_t* buffer, std::size_t size) {
    auto& file = *static_cast<Memory*>(user);
    std::size_t take = static_cast<std::size_t>(static_cast<std::int64_t>(file.bytes->size()) - file.at);
    if (take > size) take = size;
    for (std::size_t i = 0; i < take; ++i) buffer[i] = (*file.bytes)[static_cast<std::size_t>(file.at) + i];
    file.at += static_cast<std::int64_t>(take);
    return static_cast<long>(take);
}
int seekMemory(void* user, std::int64_t offset, int whence) {
    auto& file = *static_cast<Memory*>(user);
    file.at = (whence == SEEK_END ? static_cast<std::int64_t>(file.bytes->size()) : whence == SEEK_CUR ? file.at : 0) +
              offset;
    return 0;
}
std::int64_t tellMemory(void* user) { return static_cast<Memory*>(user)->at; }
int dropFrames(void*, const std::int16_t*, std::size_t, int, int, std::uint64_t) { return 0; }

TEST(Allocation, TheOggAndFrameObjectsAllocateOnlyWhenCreated) {
    const int channels = 6;
    // Six channels interleaved, and the same samples as one for the frames.
    const std::vector<std::int16_t> music = makeMusicSignal(20 * 256 * channels + 3 * channels, 5);
    const std::vector<std::int16_t>& sound = music;
    std::vector<std::uint8_t> file;
    file.reserve(sound.size() / channels / 256 * (1 + channels * ZARN_MAX_FRAME_BYTES) + 65536);
    zarn_ogg_encoder_settings settings;
    zarn_ogg_encoder_settings_init(&settings);
    settings.channels = channels;
    const char* tags[] = {"TITLE=x"};
    settings.tags = tags;
    settings.tag_count = 1;
    zarn_ogg_encoder* encoder = zarn_ogg_encoder_create(&settings, keepBytes, &file, nullptr);
    ASSERT_NE(encoder, nullptr);
    expectNoAllocation([&] {
        const int written = zarn_ogg_encoder_write(encoder, sound.data(), sound.size() / channels);
        return std::pair(written, zarn_ogg_encoder_finish(encoder));
    });
    zarn_ogg_encoder_destroy(encoder);

    zarn_ogg_decoder* decoder = zarn_ogg_decoder_create(nullptr, dropFrames, nullptr, nullptr);
    ASSERT_NE(decoder, nullptr);
    expectNoAllocation([&] {
        const int written = zarn_ogg_decoder_write(decoder, file.data(), file.size());
        return std::pair(written, zarn_ogg_decoder_finish(decoder));
    });
    zarn_ogg_decoder_destroy(decoder);

    Memory memory{&file};
    const zarn_io_callbacks io{readMemory, seekMemory, tellMemory};
    zarn_ogg_file* opened = zarn_ogg_file_open(nullptr, &io, &memory, nullptr);
    ASSERT_NE(opened, nullptr);
    static std::int16_t buffer[1000 * 6];
    expectNoAllocation([&] {
        const int sought = zarn_ogg_file_seek(opened, 3000);
        long read = 0;
        for (long got; (got = zarn_ogg_file_read(opened, buffer, 1000)) > 0;) read += got;
        return std::pair(sought, read == static_cast<long>(sound.size() / channels - 3000) ? ZARN_OK : -1);
    });
    zarn_ogg_file_close(opened);

    zarn_frame_encoder* frames = zarn_frame_encoder_create(nullptr, nullptr);
    zarn_frame_decoder* back = zarn_frame_decoder_create(nullptr, nullptr);
    expectNoAllocation([&] {
        std::uint8_t frame[ZARN_MAX_FRAME_BYTES];
        std::int16_t hop[256];
        std::size_t size = 0;
        int outcome = ZARN_OK;
        for (std::size_t at = 0; at + 256 <= music.size() && outcome == ZARN_OK; at += 256) {
            outcome = zarn_frame_encode(frames, music.data() + at, 0, frame, sizeof frame, &size);
            if (outcome == ZARN_OK) outcome = zarn_frame_decode(back, frame, size, hop, nullptr);
        }
        return std::pair(outcome, zarn_frame_decoder_finish(back, hop));
    });
    zarn_frame_encoder_destroy(frames);
    zarn_frame_decoder_destroy(back);
}

}  // namespace
}  // namespace zarn::test
