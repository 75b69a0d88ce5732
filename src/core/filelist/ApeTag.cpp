#include "ApeTag.h"

#include "FileBytes.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace ApeTag {

namespace {
constexpr qint64 kFooter = 32;
constexpr qint64 kId3v1 = 128;
// The format allows keys of 2 to 255 characters.
constexpr qint64 kMostKey = 255;

// Where the APE tag's footer would end: the file's end, less an ID3v1 tag and the Lyrics3 (version 2)
// block some taggers put before it.
qint64 tagEnd(const FileBytes& file)
{
    qint64 end = file.size();
    char tag[3];
    if (end >= kId3v1 && file.Read(end - kId3v1, tag, sizeof tag) && memcmp(tag, "TAG", 3) == 0) {
        end -= kId3v1;
        // "LYRICS200" closes the block, after its size in six decimal digits (the size leaves out those
        // fifteen bytes).
        char lyrics[15];
        if (end >= 15 && file.Read(end - 15, lyrics, sizeof lyrics) && memcmp(lyrics + 6, "LYRICS200", 9) == 0) {
            qint64 size = 0;
            for (int i = 0; i < 6 && size >= 0; ++i)
                size = lyrics[i] >= '0' && lyrics[i] <= '9' ? size * 10 + (lyrics[i] - '0') : -1;
            if (size >= 0 && size + 15 <= end)
                end -= size + 15;
        }
    }
    return end;
}
} // namespace

std::optional<QByteArray> TextItem(const FileBytes& file, QByteArrayView key, qint64 limit)
{
    const qint64 end = tagEnd(file);
    char footer[kFooter];
    if (end < kFooter || !file.Read(end - kFooter, footer, kFooter) || memcmp(footer, "APETAGEX", 8) != 0)
        return std::nullopt;
    const quint32 version = qFromLittleEndian<quint32>(footer + 8);
    const qint64 size = qFromLittleEndian<quint32>(footer + 12);
    const quint32 count = qFromLittleEndian<quint32>(footer + 16);
    if ((version != 1000 && version != 2000) || size < kFooter || size > end)
        return std::nullopt;
    const qint64 itemsEnd = end - kFooter;
    qint64 at = end - size;
    // Each item takes nine bytes at least, so a count past what the tag holds stops at its end.
    for (quint32 i = 0; i < count && at + 8 < itemsEnd; ++i) {
        char head[8];
        if (!file.Read(at, head, sizeof head))
            return std::nullopt;
        const qint64 valueSize = qFromLittleEndian<quint32>(head);
        const quint32 flags = qFromLittleEndian<quint32>(head + 4);
        const QByteArray keyBytes = file.Read(at + 8, std::min(kMostKey + 1, itemsEnd - (at + 8)));
        const qsizetype keyLength = keyBytes.indexOf('\0');
        if (keyLength < 0)
            return std::nullopt;
        const qint64 valueAt = at + 8 + keyLength + 1;
        if (valueSize > itemsEnd - valueAt)
            return std::nullopt;
        // Version 1 knows text only; version 2 marks binary items and locators in bits 1 and 2.
        const bool text = version == 1000 || ((flags >> 1) & 3) == 0;
        if (text && qstrnicmp(keyBytes.constData(), keyLength, key.data(), key.size()) == 0) {
            if (valueSize > limit)
                return std::nullopt;
            QByteArray value(valueSize, Qt::Uninitialized);
            if (!file.Read(valueAt, value.data(), valueSize))
                return std::nullopt;
            return value;
        }
        at = valueAt + valueSize;
    }
    return std::nullopt;
}

std::optional<QByteArray> TextItem(const QString& path, QByteArrayView key, qint64 limit)
{
    return TextItem(FileBytes(path), key, limit);
}

} // namespace ApeTag
