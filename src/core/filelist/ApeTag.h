#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

class FileBytes;

// The APE tag (version 2, or 1) at the end of a file, where Monkey's Audio and WavPack keep their tags
// and rippers an image's cue sheet ("Cuesheet"). The tag ends the file, or comes before an ID3v1 tag
// (and a Lyrics3 block between them): a 32-byte footer ("APETAGEX", the version, the size of the items
// and the footer, the item count, flags) closes the items, each a value size, flags, a key ending in a
// NUL, and the value.
namespace ApeTag {

// The value of the text item named key (ASCII, in any case); nothing when the file ends in no APE tag,
// when the tag has no such item, or the item is binary or longer than limit. Nothing else of the tag is
// read: a cover of many megabytes costs nothing.
std::optional<QByteArray> TextItem(const FileBytes& file, QByteArrayView key, qint64 limit);
std::optional<QByteArray> TextItem(const QString& path, QByteArrayView key, qint64 limit);

} // namespace ApeTag
