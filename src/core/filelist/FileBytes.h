#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The bytes of a file for the readers of headers and tags: each read asks for its own range and fails
// past the end, so nothing a file says of its own sizes is ever trusted for a read or an allocation.
// Only regular files open (a FIFO would wait for ever); bytes in memory read alike, for the fuzzer.
class FileBytes
{
public:
    explicit FileBytes(const QString& path);
    explicit FileBytes(QByteArrayView bytes);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool isOpen() const { return m_fd >= 0 || m_memory; }
    qint64 size() const { return m_size; }

    // Exactly size bytes from at; false when any of them is not there.
    bool Read(qint64 at, char* into, qint64 size) const;
    // Up to limit bytes from at, as many as the file holds; empty at or past its end.
    QByteArray Read(qint64 at, qint64 limit) const;

private:
    int m_fd = -1;
    bool m_memory = false;
    QByteArrayView m_bytes;
    qint64 m_size = 0;
};
