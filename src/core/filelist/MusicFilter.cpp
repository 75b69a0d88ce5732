#include "MusicFilter.h"

#include <QMimeDatabase>
#include <QMimeType>

namespace {
// The database files these under audio, but no one converts a playlist, and FFmpeg cannot read MIDI.
const char* const kNotMusic[] = {"audio/x-mpegurl",       "audio/mpegurl",        "application/vnd.apple.mpegurl",
                                 "application/x-mpegurl", "audio/x-scpls",        "audio/x-ms-asx",
                                 "video/x-ms-asf-plugin", "application/xspf+xml", "audio/midi",
                                 "audio/x-midi",          "audio/sp-midi",        "audio/mobile-xmf",
                                 "application/x-mpegURL"};
// Containers that hold music under a type of their own.
const char* const kContainers[] = {"application/ogg",        "application/vnd.ms-asf", "application/vnd.rn-realmedia",
                                   "application/x-matroska", "application/x-shorten",  "application/mxf"};
// Extensions the tool reads that the database names otherwise, or not at all.
const char* const kToolReads[] = {"ts", "shn", "caf", "tak"};

bool listed(const char* const* begin, const char* const* end, const QString& text)
{
    for (auto it = begin; it != end; ++it) {
        if (text.compare(QLatin1String(*it), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

bool MusicFilter::CanBeMusic(const QString& fileName)
{
    if (fileName.startsWith(QLatin1String("._")))
        return false;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == fileName.size() - 1)
        return false;
    const QString extension = fileName.mid(dot + 1);
    const auto known = m_byExtension.constFind(extension);
    if (known != m_byExtension.cend())
        return *known;
    const bool music = typeIsMusic(fileName);
    m_byExtension.insert(extension, music);
    return music;
}

bool MusicFilter::typeIsMusic(const QString& fileName) const
{
    const QString extension = fileName.mid(fileName.lastIndexOf(QLatin1Char('.')) + 1);
    if (listed(std::begin(kToolReads), std::end(kToolReads), extension))
        return true;
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QString name = type.name();
    if (listed(std::begin(kNotMusic), std::end(kNotMusic), name))
        return false;
    for (const QString& alias : type.aliases()) {
        if (listed(std::begin(kNotMusic), std::end(kNotMusic), alias))
            return false;
    }
    if (name.startsWith(QLatin1String("audio/")) || name.startsWith(QLatin1String("video/")))
        return true;
    if (listed(std::begin(kContainers), std::end(kContainers), name))
        return true;
    // A type that derives from a container (".wma" is ASF's, ".oga" Ogg's) is one too.
    for (const QString& parent : type.parentMimeTypes()) {
        if (listed(std::begin(kContainers), std::end(kContainers), parent))
            return true;
    }
    return false;
}
