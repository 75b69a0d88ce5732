#include "LoudnessPlan.h"

#include "AlbumLoudness.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace LoudnessPlan {

namespace {
QByteArray gainText(double db)
{
    // "-0.00" reads as well as "0.00", but says less.
    const double rounded = std::round(db * 100) / 100;
    return QByteArray::number(rounded == 0 ? 0.0 : rounded, 'f', 2) + " dB";
}

QByteArray peakText(double linear)
{
    return QByteArray::number(linear, 'f', 6);
}

double dbOf(double linear)
{
    return 20 * std::log10(linear);
}

double linearOf(double db)
{
    return std::pow(10.0, db / 20);
}

// The gain that brings a loudness to the target, lowered so a true peak stays at the ceiling.
double gainUnderCeiling(double want, double truePeak)
{
    return truePeak > 0 ? std::min(want, kCeilingDbtp - dbOf(truePeak)) : want;
}

QString noteOf(double db, bool lowered)
{
    QString text = QString::number(db, 'f', 1);
    if (db > 0)
        text.prepend(QLatin1Char('+'));
    text += QStringLiteral(" dB");
    if (lowered)
        text += QStringLiteral(", lowered to keep the peak under -1 dBTP");
    return text;
}

QString noneNote(ToolRecord::Loudness::Kind kind)
{
    return kind == ToolRecord::Loudness::Kind::Short
               ? QStringLiteral("no gain: shorter than 0.4 s, too short to measure its loudness")
               : QStringLiteral("no gain: it never rises above -70 LUFS, too quiet to measure its loudness");
}

std::vector<double> shifted(const std::vector<double>& blocks, double db)
{
    std::vector<double> out = blocks;
    for (double& b : out)
        b += db;
    return out;
}

QString folded(const QHash<QString, QString>& tags, const char* key)
{
    return tags.value(QString::fromLatin1(key)).trimmed().toCaseFolded();
}
} // namespace

Analysis Read(const QList<QByteArray>& lines)
{
    Analysis a;
    for (const QByteArray& line : lines) {
        const std::string_view text(line.constData(), size_t(line.size()));
        if (ToolRecord::ParseBlocks(text, a.blocks))
            continue;
        if (auto tag = ToolRecord::ParseTag(text)) {
            a.tags.insert(QString::fromStdString(tag->first), QString::fromStdString(tag->second));
            continue;
        }
        if (auto loudness = ToolRecord::ParseLoudness(text))
            a.loudness = loudness;
    }
    return a;
}

QString AlbumKey(const QString& input, const QHash<QString, QString>& tags)
{
    const QString album = folded(tags, "album");
    if (album.isEmpty())
        return QStringLiteral("folder\n") + QFileInfo(input).absolutePath();
    QString artist = folded(tags, "album_artist");
    if (artist.isEmpty())
        artist = folded(tags, "albumartist");
    if (artist.isEmpty())
        artist = folded(tags, "artist");
    return QStringLiteral("tags\n") + artist + QLatin1Char('\n') + album;
}

namespace {

double truePeakOf(const File* f)
{
    const ToolRecord::Loudness& l = *f->analysis.loudness;
    return l.truePeak.value_or(l.samplePeak);
}

// The gain each measured file of one album gets: its own (Track), the album's (Album), none (Tags).
// lowered tells whether the peak held the album's gain back.
QHash<const File*, double> appliedGains(Mode mode, const QList<const File*>& measured, bool& lowered)
{
    QHash<const File*, double> applied;
    lowered = false;
    if (mode == Album) {
        std::vector<std::vector<double>> blocks;
        double peak = 0;
        for (const File* f : measured) {
            blocks.push_back(f->analysis.blocks);
            peak = std::max(peak, truePeakOf(f));
        }
        const double want = kTargetLufs - AlbumLoudness::Of(blocks).value_or(kTargetLufs);
        const double gain = gainUnderCeiling(want, peak);
        lowered = gain < want - 0.005;
        for (const File* f : measured)
            applied.insert(f, gain);
        return applied;
    }
    for (const File* f : measured)
        applied.insert(
            f, mode == Track ? gainUnderCeiling(kTargetLufs - f->analysis.loudness->integrated, truePeakOf(f)) : 0.0);
    return applied;
}

// What each measured file of one album gets: its gain, and tags that describe the album as it will play
// (each file's blocks after its gain).
void planAlbum(Mode mode, const QList<const File*>& measured, QHash<QString, FileGain>& plan)
{
    bool albumLowered = false;
    const QHash<const File*, double> applied = appliedGains(mode, measured, albumLowered);
    std::vector<std::vector<double>> after;
    double albumPeak = 0;
    for (const File* f : measured) {
        after.push_back(shifted(f->analysis.blocks, applied.value(f)));
        albumPeak = std::max(albumPeak, f->analysis.loudness->samplePeak * linearOf(applied.value(f)));
    }
    const double albumGain = kTargetLufs - AlbumLoudness::Of(after).value_or(kTargetLufs);
    for (const File* f : measured) {
        const ToolRecord::Loudness& l = *f->analysis.loudness;
        const double gain = applied.value(f);
        const double trackGain = kTargetLufs - l.integrated - gain;
        FileGain g;
        if (mode != Tags)
            g.gainDb = gain;
        g.tags = {{"REPLAYGAIN_TRACK_GAIN", gainText(trackGain)},
                  {"REPLAYGAIN_TRACK_PEAK", peakText(l.samplePeak * linearOf(gain))},
                  {"REPLAYGAIN_ALBUM_GAIN", gainText(albumGain)},
                  {"REPLAYGAIN_ALBUM_PEAK", peakText(albumPeak)}};
        const bool lowered = mode == Album ? albumLowered : mode == Track && trackGain > 0.005;
        g.note = noteOf(mode == Tags ? trackGain : gain, lowered);
        plan.insert(f->input, g);
    }
}

} // namespace

QHash<QString, FileGain> Plan(Mode mode, const QList<File>& files)
{
    using Kind = ToolRecord::Loudness::Kind;
    QHash<QString, FileGain> plan;
    // The albums in the order their first file comes.
    QList<QString> order;
    QHash<QString, QList<const File*>> albums;
    for (const File& f : files) {
        const QString key = AlbumKey(f.input, f.analysis.tags);
        if (!albums.contains(key))
            order.append(key);
        albums[key].append(&f);
    }
    for (const QString& key : order) {
        QList<const File*> measured;
        for (const File* f : albums.value(key)) {
            const ToolRecord::Loudness& l = *f->analysis.loudness;
            if (l.kind == Kind::Measured)
                measured.append(f);
            else
                plan.insert(f->input, {std::nullopt, {}, noneNote(l.kind)});
        }
        if (!measured.isEmpty())
            planAlbum(mode, measured, plan);
    }
    return plan;
}

bool KeepsTags(int formatIndex)
{
    // 3 WAV, 5 AC3, 6 AAC, 7 AMR.
    return formatIndex != 3 && formatIndex != 5 && formatIndex != 6 && formatIndex != 7;
}

} // namespace LoudnessPlan
