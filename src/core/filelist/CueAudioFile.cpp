#include "CueAudioFile.h"

#include "GetFile.h"
#include "PathBytes.h"

#include <dirent.h>
#include <iterator>
#include <memory>
#include <sys/stat.h>

namespace {

// The audio files an image may be, most likely first: when a sheet's FILE is not there, the image of
// that base name is looked for with these extensions.
const char* const kImageExtensions[] = {"flac", "wv",  "ape",  "tak", "tta", "wav", "w64", "aiff", "aif", "m4a",
                                        "ogg",  "oga", "opus", "mp3", "mpc", "wma", "shn", "caf",  "dsf"};

bool isRegularFile(const QString& path)
{
    struct stat st
    {};
    return ::stat(PathBytes::Encode(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

QString CueAudioFile::Find(const QString& folder, const QString& written)
{
    if (written.isEmpty())
        return {};
    const QString dir = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    QString asWritten = written;
    asWritten.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!asWritten.contains(QLatin1Char(':'))) {
        const QString path = asWritten.startsWith(QLatin1Char('/')) ? asWritten : dir + asWritten;
        if (isRegularFile(path))
            return path;
    }
    const QString base = GetFile::ParseFileName(asWritten);
    if (base.isEmpty())
        return {};
    if (isRegularFile(dir + base))
        return dir + base;

    const QString stem = PathBytes::CaseFolded(GetFile::ParseStem(base));
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(PathBytes::Encode(dir).constData()), ::closedir);
    if (!listing)
        return {};
    QString best;
    int bestRank = int(std::size(kImageExtensions));
    while (const dirent* entry = ::readdir(listing.get())) {
        const QString name = PathBytes::Decode(QByteArray(entry->d_name));
        if (PathBytes::CaseFolded(GetFile::ParseStem(name)) != stem)
            continue;
        const QString extension = GetFile::ParseExtension(name).toLower();
        for (int rank = 0; rank < bestRank; ++rank) {
            if (extension == QLatin1String(kImageExtensions[rank]) && isRegularFile(dir + name)) {
                best = dir + name;
                bestRank = rank;
                break;
            }
        }
    }
    return best;
}
