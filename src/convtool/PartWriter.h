#pragma once

#include "LibAv.h"

#include <cstdint>
#include <string>
#include <vector>

// The muxer's way into the part file: an AVIOContext on a descriptor of its own that writes only what
// FAT drivers through FUSE keep. fusefat refuses a write past the end of a file and puts a write into
// the file's last cluster at the wrong place, and muxers do both: the M4A muxer skips the room it keeps
// for its index, and every muxer that fixes its header at the end rewrites the front of a short file.
// So the last stretch of the file (kGuard bytes or more) stays in memory until it is followed by as
// much again or the file is closed, a seek past the end adds zeros there, and a rewrite just below it
// waits until the file has grown past it: the file only ever grows by appends, and nothing is written
// into the cluster that holds its end. It also keeps how long a file the muxer wrote, for the check
// before the commit.
class PartWriter
{
public:
    // More than the largest FAT cluster.
    static constexpr int64_t kGuard = 256 * 1024;

    // Opens the part file for writing. Throws LibAv::Failure.
    explicit PartWriter(const std::string& path);
    ~PartWriter();
    PartWriter(const PartWriter&) = delete;
    PartWriter& operator=(const PartWriter&) = delete;

    // For the muxer's pb, with AVFMT_FLAG_CUSTOM_IO: the muxer must not free it.
    AVIOContext* io() const { return m_io; }
    // The bytes from the start of the file to the furthest one written.
    int64_t length() const { return m_onDisk + int64_t(m_tail.size()); }
    // The bytes [at, at + size) as written so far, held ones included: what the muxer wrote, for a step
    // that changes it in place. Throws LibAv::Failure.
    std::vector<uint8_t> Read(int64_t at, int64_t size);
    // Writes bytes at at, inside what was written, by the same rules as the muxer's rewrites. Throws
    // LibAv::Failure.
    void Patch(int64_t at, const std::vector<uint8_t>& bytes);
    // Writes out everything held and closes the descriptor. Throws LibAv::Failure.
    void Close();
    // After Close: the last stretch written, kept for reading the file's end back against it, and where
    // it starts.
    const std::vector<uint8_t>& tail() const { return m_tail; }
    int64_t tailAt() const { return m_onDisk; }

private:
    struct Rewrite
    {
        int64_t at;
        std::vector<uint8_t> bytes;
    };

    static int writePacket(void* opaque, uint8_t* data, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);
    int write(const uint8_t* data, int64_t size, int64_t at);
    int writeOut(const uint8_t* data, int64_t size, int64_t at);
    // Appends all but keep bytes of the tail to the file, then the rewrites that waited.
    int flushTail(int64_t keep);
    int writeWaiting();
    int64_t moveTo(int64_t target);

    int m_fd = -1;
    AVIOContext* m_io = nullptr;
    int64_t m_position = 0;
    int64_t m_onDisk = 0;           // the bytes in the file: [0, m_onDisk)
    std::vector<uint8_t> m_tail;    // the bytes after them
    std::vector<Rewrite> m_waiting; // within kGuard below m_onDisk, in the order written
};
