#include "BatchOptions.h"

#include "convert/FormatTraits.h"
#include "convert/SelectorChoices.h"
#include "filelist/PathBytes.h"
#include "settings/OptionsIni.h"
#include "settings/ProgramPlace.h"
#include "settings/SetupIni.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <optional>

namespace BatchOptions {

namespace {
const QStringList kFolderModes = {QStringLiteral("keep"), QStringLiteral("flat"), QStringLiteral("beside")};
const QStringList kExistingModes = {QStringLiteral("keep"), QStringLiteral("skip")};

QStringList lowered(const QStringList& list)
{
    QStringList out;
    for (const QString& s : list)
        out.append(s.toLower());
    return out;
}

QString refused(const QString& option, const QString& value, const QString& accepted)
{
    return QStringLiteral("--%1: '%2' is not accepted; use %3").arg(option, value, accepted);
}

// The position of value in the list, compared without regard to case.
std::optional<int> positionIn(const QStringList& list, const QString& value)
{
    const int i = int(lowered(list).indexOf(value.toLower()));
    return i < 0 ? std::nullopt : std::optional<int>(i);
}

std::optional<qint32> seconds(const QString& text)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, 10);
    if (!ok || v > 2147483647u)
        return std::nullopt;
    return qint32(v);
}

QString absoluteFrom(const QString& currentFolder, const QString& path)
{
    return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(path));
}
} // namespace

bool Requested(const QList<QByteArray>& arguments)
{
    return arguments.size() > 1 && (arguments[1] == "--convert" || arguments[1] == "-c");
}

QList<QByteArray> FromArgv(int argc, char** argv)
{
    QList<QByteArray> out;
    for (int i = 0; i < argc; ++i)
        out.append(QByteArray(argv[i]));
    return out;
}

CommandBuilder::Request SavedSettings(const QString& programFolder)
{
    const ProgramPlace::Places places = ProgramPlace::For(programFolder);
    CommandBuilder::Request r;
    r.programFolder = programFolder;
    int bitrate = SelectorChoices::kDefaultBitrate;
    int rate = SelectorChoices::kDefaultRate;
    r.channelIndex = SelectorChoices::kDefaultChannels;
    r.formatIndex = SelectorChoices::kDefaultFormat;
    QString folder;
    if (SetupIni::Exists(places.settingsFolder)) {
        // As the window applies them: a field out of its selector's range keeps the default.
        const SetupIni::Read saved = SetupIni::Load(places.settingsFolder);
        const auto apply = [](int& target, const std::optional<int>& index, int count) {
            if (index && *index >= 0 && *index < count)
                target = *index;
        };
        apply(bitrate, saved.bitrateIndex, int(SelectorChoices::Bitrates().size()));
        apply(rate, saved.rateIndex, int(SelectorChoices::Rates().size()));
        apply(r.channelIndex, saved.channelIndex, int(SelectorChoices::Channels().size()));
        apply(r.formatIndex, saved.formatIndex, FormatTraits::Count());
        folder = saved.outputFolder.value_or(QString());
    }
    r.bitrate = SelectorChoices::Bitrates().at(bitrate);
    r.sampleRate = SelectorChoices::Rates().at(rate);
    r.outputFolder = folder.isEmpty() ? places.defaultOutputFolder : ProgramPlace::TypedOutputFolder(folder);
    OptionsIni::LoadOptions(places.settingsFolder, r.options);
    return r;
}

Parsed Parse(const QList<QByteArray>& arguments, const CommandBuilder::Request& defaults, const QString& currentFolder)
{
    Parsed p;
    p.request = defaults;

    const QCommandLineOption convert({QStringLiteral("c"), QStringLiteral("convert")}, QString());
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("name"));
    const QCommandLineOption bitrate(QStringLiteral("bitrate"), QString(), QStringLiteral("kbps"));
    const QCommandLineOption rate(QStringLiteral("rate"), QString(), QStringLiteral("hz"));
    const QCommandLineOption channels(QStringLiteral("channels"), QString(), QStringLiteral("n"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("dir"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")}, QString(), QStringLiteral("n"));
    const QCommandLineOption cut(QStringLiteral("cut"), QString(), QStringLiteral("start,length"));
    const QCommandLineOption folders(QStringLiteral("folders"), QString(), QStringLiteral("mode"));
    const QCommandLineOption existing(QStringLiteral("existing"), QString(), QStringLiteral("mode"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")}, QString());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")}, QString());

    QCommandLineParser parser;
    parser.addOptions(
        {convert, format, bitrate, rate, channels, output, jobs, cut, folders, existing, quiet, help, version});
    QStringList args;
    for (const QByteArray& a : arguments)
        args.append(PathBytes::Decode(a));
    if (!parser.parse(args)) {
        p.message = parser.errorText();
        return p;
    }
    if (parser.isSet(help)) {
        p.action = Parsed::Action::Help;
        return p;
    }
    if (parser.isSet(version)) {
        p.action = Parsed::Action::Version;
        return p;
    }
    // An option given twice is a slip in a script: which one was meant cannot be told.
    for (const QCommandLineOption* o :
         {&format, &bitrate, &rate, &channels, &output, &jobs, &cut, &folders, &existing}) {
        if (parser.values(*o).size() > 1) {
            p.message = QStringLiteral("--%1 is given more than once").arg(o->names().constLast());
            return p;
        }
    }

    if (parser.isSet(format)) {
        const auto i = positionIn(FormatTraits::Names(), parser.value(format));
        if (!i) {
            p.message = refused(QStringLiteral("format"), parser.value(format),
                                lowered(FormatTraits::Names()).join(QLatin1Char('|')));
            return p;
        }
        p.request.formatIndex = *i;
    }
    if (parser.isSet(bitrate)) {
        const QStringList accepted = SelectorChoices::Bitrates();
        if (!accepted.contains(parser.value(bitrate))) {
            p.message = refused(QStringLiteral("bitrate"), parser.value(bitrate), accepted.join(QLatin1Char('|')));
            return p;
        }
        p.request.bitrate = parser.value(bitrate);
    }
    if (parser.isSet(rate)) {
        const QStringList accepted = SelectorChoices::Rates();
        if (!accepted.contains(parser.value(rate))) {
            p.message = refused(QStringLiteral("rate"), parser.value(rate), accepted.join(QLatin1Char('|')));
            return p;
        }
        p.request.sampleRate = parser.value(rate);
    }
    if (parser.isSet(channels)) {
        const QString v = parser.value(channels);
        if (v != QLatin1String("1") && v != QLatin1String("2")) {
            p.message = refused(QStringLiteral("channels"), v, QStringLiteral("1 (mono)|2 (stereo)"));
            return p;
        }
        p.request.channelIndex = v.toInt() - 1;
    }
    if (parser.isSet(output)) {
        const QString v = parser.value(output);
        if (v.isEmpty()) {
            p.message = QStringLiteral("--output: the folder is empty");
            return p;
        }
        // The shell expands a "~" only at a word's start, not after "--output=".
        p.request.outputFolder = absoluteFrom(currentFolder, ProgramPlace::ExpandHome(v));
    }
    if (parser.isSet(jobs)) {
        const QString v = parser.value(jobs);
        bool ok = false;
        const int n = v.toInt(&ok);
        if (v.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
            p.request.options.FilesAtOnce = 0;
        else if (ok && n >= 1 && n <= 8 && v == QString::number(n))
            p.request.options.FilesAtOnce = n;
        else {
            p.message = refused(QStringLiteral("jobs"), v, QStringLiteral("1 to 8 or auto"));
            return p;
        }
    }
    if (parser.isSet(cut)) {
        const QString v = parser.value(cut);
        const QStringList parts = v.split(QLatin1Char(','));
        const auto from = parts.size() == 2 ? seconds(parts[0]) : std::nullopt;
        const auto length = parts.size() == 2 ? seconds(parts[1]) : std::nullopt;
        // value_or rather than *: GCC 12 cannot see that has_value() guards the read.
        const auto fromValue = from.value_or(-1);
        const auto lengthValue = length.value_or(0);
        if (v.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0) {
            p.request.options.MusicCutter = 0;
        } else if (from.has_value() && length.has_value() && lengthValue > 0) {
            p.request.options.MusicCutter = 1;
            p.request.options.CutFrom = fromValue;
            p.request.options.CutDuration = lengthValue;
        } else {
            p.message = refused(QStringLiteral("cut"), v,
                                QStringLiteral("START,LENGTH in whole seconds (LENGTH above 0), or off"));
            return p;
        }
    }
    if (parser.isSet(folders)) {
        const auto i = positionIn(kFolderModes, parser.value(folders));
        if (!i) {
            p.message = refused(QStringLiteral("folders"), parser.value(folders), kFolderModes.join(QLatin1Char('|')));
            return p;
        }
        p.request.options.OutputFiles = *i;
    }
    if (parser.isSet(existing)) {
        const auto i = positionIn(kExistingModes, parser.value(existing));
        if (!i) {
            p.message =
                refused(QStringLiteral("existing"), parser.value(existing), kExistingModes.join(QLatin1Char('|')));
            return p;
        }
        p.request.options.IfExists = *i;
    }
    p.quiet = parser.isSet(quiet);

    // Paths keep their bytes: QCommandLineParser hands back what it was given.
    for (const QString& a : parser.positionalArguments()) {
        if (!a.isEmpty())
            p.paths.append(absoluteFrom(currentFolder, a));
    }
    if (p.paths.isEmpty()) {
        p.message = QStringLiteral("no file or folder to convert");
        return p;
    }
    p.action = Parsed::Action::Convert;
    return p;
}

QString HelpText()
{
    return QStringLiteral("Usage: veltra-wma-converter --convert [OPTION]... [--] FILE_OR_FOLDER...\n"
                          "Converts files, and the audio files in folders and their subfolders, without a window.\n"
                          "Every option starts from the settings the window saved; the window's values only.\n"
                          "\n"
                          "  -c, --convert          convert from the terminal (must come first)\n"
                          "      --format NAME      %1\n"
                          "      --bitrate KBPS     %2\n"
                          "      --rate HZ          %3\n"
                          "      --channels N       1 (mono) or 2 (stereo)\n"
                          "  -o, --output DIR       the output folder (a relative one is taken from here)\n"
                          "  -j, --jobs N           files converted at once: 1 to 8, or auto (one per core)\n"
                          "      --cut START,LENGTH convert only LENGTH seconds from START seconds; off for all\n"
                          "      --folders MODE     keep (the folder tree under the output folder), flat (all in\n"
                          "                         the output folder) or beside (beside each original)\n"
                          "      --existing MODE    keep (both: the new file gets a free name) or skip\n"
                          "  -q, --quiet            print nothing but failures\n"
                          "  -h, --help             show this help\n"
                          "  -V, --version          show the version\n"
                          "      --                 what follows is a file, even when it starts with '-'\n"
                          "\n"
                          "An existing file is never replaced. On a terminal one line shows the progress; otherwise\n"
                          "each file prints one line as it ends: \"PATH: ok\", \"PATH: failed: REASON\" or\n"
                          "\"PATH: skipped\". Ctrl+C stops as the window's Stop button does.\n"
                          "\n"
                          "Exit status: 0 all converted or skipped, 1 some failed, 2 a usage error or nothing\n"
                          "could be started, 130 stopped by Ctrl+C (128 + the signal for others).\n"
                          "\n"
                          "Examples:\n"
                          "  veltra-wma-converter --convert --format opus --output ~/phone ~/Music\n"
                          "  veltra-wma-converter -c --format mp3 --bitrate 192 --jobs auto album/ single.flac\n"
                          "  veltra-wma-converter -c --format flac --folders beside --existing skip -q ~/Rips\n")
        .arg(lowered(FormatTraits::Names()).join(QLatin1Char('|')), SelectorChoices::Bitrates().join(QLatin1Char('|')),
             SelectorChoices::Rates().join(QLatin1Char('|')));
}

} // namespace BatchOptions
