// libzarn allocates only when an object is created: a program of its own, so
// that it starts with none of the codec's process-wide tables built, with
// every operator new counted.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
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

}  // namespace
}  // namespace zarn::test
