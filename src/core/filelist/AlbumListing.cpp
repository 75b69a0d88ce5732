#include "AlbumListing.h"

#include "ApeTag.h"
#include "CueAudioFile.h"
#include "FlacImage.h"
#include "GetFile.h"
#include "ImageLength.h"
#include "PathBytes.h"

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <utility>

namespace {
QString folderOf(const QString& path)
{
    return path.left(path.size() - GetFile::ParseFileName(path).size());
}

bool hasExtension(const QString& path, const char* extension)
{
    return GetFile::ParseExtension(path).compare(QLatin1String(extension), Qt::CaseInsensitive) == 0;
}

QString nameOf(const QString& path)
{
    return PathBytes::Display(GetFile::ParseFileName(path));
}

// A sheet of a hundred tracks takes a few kilobytes; a "Cuesheet" item far larger is something else.
constexpr qint64 kMostEmbeddedSheet = 1 << 20;

// The sheet a file carries: FLAC's CUESHEET block or tag, or the "Cuesheet" item of the APE tag that
// Monkey's Audio and WavPack images (and others) end in. Nothing when it carries none.
std::optional<CueSheet> embeddedSheet(const QString& path)
{
    if (hasExtension(path, "flac"))
        return FlacImage::CarriesSheet(path) ? FlacImage::EmbeddedSheet(path) : std::nullopt;
    // Only the lossless formats whose images keep their sheet in an APE tag are asked: a library of
    // MP3 files is not read at every file's end while it is listed.
    static constexpr const char* kApeTagged[] = {"ape", "wv", "tak", "tta", "ofr"};
    if (std::none_of(std::begin(kApeTagged), std::end(kApeTagged),
                     [&](const char* e) { return hasExtension(path, e); }))
        return std::nullopt;
    const std::optional<QByteArray> tag = ApeTag::TextItem(path, "Cuesheet", kMostEmbeddedSheet);
    if (!tag || tag->trimmed().isEmpty())
        return std::nullopt;
    return CueSheet::FromEmbedded(*tag, path, ImageLength::Read(path));
}
} // namespace

bool AlbumListing::IsCueSheet(const QString& path)
{
    return hasExtension(path, "cue");
}

AlbumListing::Sheet AlbumListing::sheetFrom(const QString& cuePath)
{
    const auto known = m_sheets.constFind(cuePath);
    if (known != m_sheets.cend())
        return *known;
    Sheet sheet = std::make_shared<const CueSheet>(CueSheet::FromFile(cuePath, ImageLength::Read));
    m_sheets.insert(cuePath, sheet);
    return sheet;
}

const QStringList& AlbumListing::sheetsIn(const QString& folder)
{
    const auto known = m_cues.constFind(folder);
    if (known != m_cues.cend())
        return *known;
    QStringList cues;
    const QByteArray dir = PathBytes::Encode(folder.isEmpty() ? QStringLiteral("./") : folder);
    if (const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(dir.constData()), ::closedir); listing) {
        while (const dirent* entry = ::readdir(listing.get())) {
            const QString name = PathBytes::Decode(QByteArray(entry->d_name));
            if (IsCueSheet(name) && entry->d_type != DT_DIR)
                cues.append(folder + name);
        }
    }
    cues.sort();
    return *m_cues.insert(folder, cues);
}

AlbumListing::Sheet AlbumListing::sheetBeside(const QString& audioPath, QString& cuePath, QString& unusable)
{
    const QString stem = PathBytes::CaseFolded(GetFile::ParseStem(audioPath));
    QStringList cues = sheetsIn(folderOf(audioPath));
    // "Album.cue" beside "Album.flac" is asked first; any other sheet may name the file too.
    std::stable_partition(cues.begin(), cues.end(),
                          [&](const QString& c) { return PathBytes::CaseFolded(GetFile::ParseStem(c)) == stem; });
    for (const QString& cue : cues) {
        const Sheet sheet = sheetFrom(cue);
        if (sheet->usable() && sheet->audioFiles().contains(audioPath)) {
            cuePath = cue;
            return sheet;
        }
        if (!sheet->usable() && unusable.isEmpty() && PathBytes::CaseFolded(GetFile::ParseStem(cue)) == stem)
            unusable = sheet->reason();
    }
    return nullptr;
}

void AlbumListing::listSheet(const CueSheet& sheet, const QString& cuePath, const QString& root)
{
    const QStringList files = sheet.audioFiles();
    QSet<QString> before;
    for (const QString& f : files) {
        if (m_listed.contains(f))
            before.insert(f);
        m_listed.insert(f);
    }
    if (before.size() == files.size())
        return;
    for (const CueTrack& t : sheet.tracks()) {
        if (!before.contains(t.audioPath))
            m_entries.append({t.audioPath, root, std::make_shared<const CueTrack>(t)});
    }
    if (!sheet.encoding().isEmpty())
        m_notes.append(QStringLiteral("%1 was read as %2.").arg(nameOf(cuePath), sheet.encoding()));
}

void AlbumListing::listWhole(const QString& path, const QString& root)
{
    m_listed.insert(path);
    m_entries.append({path, root, nullptr});
}

QList<FileQueue::Entry> AlbumListing::List(const QStringList& paths, const QString& root,
                                           const std::function<bool()>& goOn)
{
    m_entries.clear();
    bool looking = true;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        if (looking && goOn && i % 32 == 31)
            looking = goOn();
        if (m_listed.contains(path))
            continue;
        if (IsCueSheet(path)) {
            if (!looking)
                continue;
            m_listed.insert(path);
            const Sheet sheet = sheetFrom(path);
            if (sheet->usable()) {
                listSheet(*sheet, path, root);
                continue;
            }
            // The image the sheet was made for, by its stem: it converts whole.
            const QString image = CueAudioFile::Find(folderOf(path), GetFile::ParseStem(path) + QStringLiteral(".wav"));
            if (image.isEmpty() || IsCueSheet(image)) {
                m_notes.append(QStringLiteral("%1 cannot be listed: %2").arg(nameOf(path), sheet->reason()));
                continue;
            }
            m_notes.append(QStringLiteral("%1 is listed whole: %2").arg(nameOf(image), sheet->reason()));
            if (!m_listed.contains(image))
                listWhole(image, root);
            continue;
        }
        if (!looking) {
            listWhole(path, root);
            continue;
        }
        QString cuePath;
        QString unusable;
        if (const Sheet beside = sheetBeside(path, cuePath, unusable)) {
            m_listed.insert(cuePath);
            listSheet(*beside, cuePath, root);
            continue;
        }
        if (unusable.isEmpty()) {
            const std::optional<CueSheet> embedded = embeddedSheet(path);
            if (embedded && embedded->usable()) {
                listSheet(*embedded, path, root);
                continue;
            }
            if (embedded)
                unusable = embedded->reason();
        }
        if (!unusable.isEmpty())
            m_notes.append(QStringLiteral("%1 is listed whole: %2").arg(nameOf(path), unusable));
        listWhole(path, root);
    }
    return std::exchange(m_entries, {});
}
