#include "OptionRows.h"

#include "FilesAtOnce.h"

namespace OptionRows {

namespace {
QStringList filesAtOnceItems()
{
    const int cores = FilesAtOnce::Resolve(0);
    QStringList items{QStringLiteral("Auto (%1 %2)").arg(cores).arg(cores == 1 ? "core" : "cores")};
    for (int n = 1; n <= 8; ++n)
        items.append(QString::number(n));
    return items;
}

Row soundRow()
{
    return Row{"cmbSR",
               "picButtonBR",
               QStringLiteral("Sound Reminder"),
               {QStringLiteral("ON"), QStringLiteral("OFF")},
               QString(),
               [](const OptionSettings& o) { return qint32(o.SoundReminder); },
               [](OptionSettings& o, qint32 v) { o.SoundReminder = qint16(v); },
               {},
               {},
               {},
               {},
               {},
               {}};
}

Row filesRow()
{
    return Row{"cmbFiles",
               "picButtonFiles",
               QStringLiteral("Files at once"),
               filesAtOnceItems(),
               QStringLiteral("How many files convert at the same time; Auto takes one per processor core"),
               [](const OptionSettings& o) { return o.FilesAtOnce; },
               [](OptionSettings& o, qint32 v) { o.FilesAtOnce = v; },
               QStringLiteral("jobs"),
               QLatin1Char('j'),
               QStringLiteral("N"),
               {QStringLiteral("auto"), "1", "2", "3", "4", "5", "6", "7", "8"},
               QStringLiteral("1 to 8 or auto"),
               QStringLiteral("files converted at once: 1 to 8, or auto (one per core)")};
}

Row outputsRow()
{
    return Row{"cmbOutputFiles",
               "picButtonOutputFiles",
               QStringLiteral("Output files"),
               {QStringLiteral("Keep the folders"), QStringLiteral("All in one folder"),
                QStringLiteral("Beside each original")},
               QStringLiteral("Where the outputs go: below a copy of each added folder's tree, all in the output "
                              "folder, or in each input's own folder"),
               [](const OptionSettings& o) { return qint32(o.OutputFiles); },
               [](OptionSettings& o, qint32 v) { o.OutputFiles = OutputLayout(v); },
               QStringLiteral("folders"),
               QChar(),
               QStringLiteral("MODE"),
               {QStringLiteral("keep"), QStringLiteral("flat"), QStringLiteral("beside")},
               QString(),
               QStringLiteral("keep (the folder tree under the output folder), flat (all in\n"
                              "the output folder) or beside (beside each original)")};
}

Row existingRow()
{
    return Row{"cmbIfExists",
               "picButtonIfExists",
               QStringLiteral("If a file is\nalready there"),
               {QStringLiteral("Keep both"), QStringLiteral("Skip the file")},
               QStringLiteral("When an output of that name is already there: write the new one beside it as "
                              "\"NAME (2)\", or leave the file unconverted"),
               [](const OptionSettings& o) { return qint32(o.IfExists); },
               [](OptionSettings& o, qint32 v) { o.IfExists = ExistingOutput(v); },
               QStringLiteral("existing"),
               QChar(),
               QStringLiteral("MODE"),
               {QStringLiteral("keep"), QStringLiteral("skip")},
               QString(),
               QStringLiteral("keep (both: the new file gets a free name) or skip")};
}

Row loudnessRow()
{
    return Row{"cmbLoudness",
               "picButtonLoudness",
               QStringLiteral("Loudness"),
               {QStringLiteral("Off"), QStringLiteral("Tags (ReplayGain)"), QStringLiteral("Even out, by track"),
                QStringLiteral("Even out, by album")},
               QStringLiteral("Measure each file's loudness first: write ReplayGain tags for players that read "
                              "them, or make the outputs themselves play evenly loud (-18 LUFS), each file or "
                              "each album as a whole"),
               [](const OptionSettings& o) { return o.Loudness; },
               [](OptionSettings& o, qint32 v) { o.Loudness = v; },
               QStringLiteral("loudness"),
               QChar(),
               QStringLiteral("MODE"),
               {QStringLiteral("off"), QStringLiteral("tags"), QStringLiteral("track"), QStringLiteral("album")},
               QString(),
               QStringLiteral("off, tags (ReplayGain tags, the audio untouched), track (every\n"
                              "file evened out to -18 LUFS) or album (one gain per album)")};
}

Row keepDateRow()
{
    return Row{"cmbKeepDate",
               "picButtonKeepDate",
               QStringLiteral("Keep the\noriginal's date"),
               {QStringLiteral("No"), QStringLiteral("Yes")},
               QStringLiteral("Whether each output takes its original's modification time instead of today's, so "
                              "that a library sorted by date keeps its order"),
               [](const OptionSettings& o) { return o.KeepDate; },
               [](OptionSettings& o, qint32 v) { o.KeepDate = v; },
               QStringLiteral("keep-dates"),
               QChar(),
               QString(),
               {},
               QString(),
               QStringLiteral("each output takes its original's modification time"),
               true};
}

// The names' own terminal option takes a pattern as well as a preset: BatchOptions reads it.
Row namesRow()
{
    return Row{"cmbOutputNames",
               "picButtonOutputNames",
               QStringLiteral("Output names"),
               {QStringLiteral("Keep the file's name"), QStringLiteral("Artist/Album/NN Title"),
                QStringLiteral("Artist - Title"), QStringLiteral("My pattern below")},
               QStringLiteral("How each output is named: the file's own name, or from its tags, with \"/\" making a "
                              "folder; your own pattern goes in the box below"),
               [](const OptionSettings& o) { return o.OutputNames; },
               [](OptionSettings& o, qint32 v) { o.OutputNames = v; },
               {},
               {},
               {},
               {},
               {},
               {}};
}

QList<Row> table()
{
    return {soundRow(), filesRow(), outputsRow(), existingRow(), loudnessRow(), keepDateRow(), namesRow()};
}
} // namespace

int Row::position(const OptionSettings& options) const
{
    const qint32 v = get(options);
    return v >= 0 && v < count() ? int(v) : count() - 1;
}

const QList<Row>& All()
{
    static const QList<Row> rows = table();
    return rows;
}

const Row* Find(const QString& listName)
{
    for (const Row& r : All()) {
        if (listName == QLatin1String(r.listName))
            return &r;
    }
    return nullptr;
}

} // namespace OptionRows
