// Arbitrary bytes as a conversion tool input: opening (with the tool's protocol and demuxer lists) and
// decoding must end, never crash, and never read outside the bytes given.
#include "AudioInput.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {
struct Bytes
{
    const uint8_t* data;
    size_t size;
    size_t at;
};

int readBytes(void* opaque, uint8_t* buf, int size)
{
    auto* b = static_cast<Bytes*>(opaque);
    const size_t n = std::min(size_t(size), b->size - b->at);
    if (n == 0)
        return AVERROR_EOF;
    std::memcpy(buf, b->data + b->at, n);
    b->at += n;
    return int(n);
}

int64_t seekBytes(void* opaque, int64_t offset, int whence)
{
    auto* b = static_cast<Bytes*>(opaque);
    if (whence == AVSEEK_SIZE)
        return int64_t(b->size);
    int64_t to = offset;
    if ((whence & ~AVSEEK_FORCE) == SEEK_CUR)
        to += int64_t(b->at);
    else if ((whence & ~AVSEEK_FORCE) == SEEK_END)
        to += int64_t(b->size);
    if (to < 0 || to > int64_t(b->size))
        return -1;
    b->at = size_t(to);
    return to;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    LibAv::Init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes bytes{data, size, 0};
    constexpr int kBuffer = 4096;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
    AVIOContext* io = avio_alloc_context(buffer, kBuffer, 0, &bytes, readBytes, nullptr, seekBytes);
    if (!io) {
        av_free(buffer);
        return 0;
    }
    try {
        AudioInput input(io);
        LibAv::FramePtr frame(av_frame_alloc());
        // Enough to reach every decoder path; a tiny input claiming hours of silence must not take hours.
        for (int frames = 0; frames < 2000 && input.Next(frame.get()); ++frames)
            av_frame_unref(frame.get());
    } catch (const LibAv::Failure&) {
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return 0;
}
