#include "BatchOptions.h"

#include "convert/FormatTraits.h"
#include "convert/NamePattern.h"
#include "convert/SelectorChoices.h"
#include "filelist/PathBytes.h"
#include "settings/ConversionSetup.h"
#include "settings/OptionRows.h"
#include "settings/ProgramPlace.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <functional>
#include <optional>

namespace BatchOptions {

namespace {
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
    if (arguments.size() < 2)
        return false;
    const QByteArray& first = arguments[1];
    return first == "--convert" || first == "-c" || first == "--help" || first == "-h" || first == "--version" ||
           first == "-V";
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
    return ConversionSetup::Load(ProgramPlace::For(programFolder)).Request(programFolder);
}

namespace {
// One option that sets a setting: how it reads its value into the request. The empty text when the
// value is taken, otherwise what is wrong with it.
struct Handler
{
    QCommandLineOption option;
    std::function<QString(const QString& value, CommandBuilder::Request& request)> apply;
};

// A value that must be one of the window's choices, taken as it is written there.
Handler choice(const QString& name, const QString& valueName, std::function<QStringList()> accepted,
               std::function<void(CommandBuilder::Request&, const QString&)> set)
{
    return {QCommandLineOption(name, QString(), valueName),
            [name, accepted, set](const QString& v, CommandBuilder::Request& r) {
                const QStringList values = accepted();
                if (!values.contains(v))
                    return refused(name, v, values.join(QLatin1Char('|')));
                set(r, v);
                return QString();
            }};
}

QString applyCut(const QString& v, OptionSettings& options)
{
    const QStringList parts = v.split(QLatin1Char(','));
    const auto from = parts.size() == 2 ? seconds(parts[0]) : std::nullopt;
    const auto length = parts.size() == 2 ? seconds(parts[1]) : std::nullopt;
    // value_or rather than *: GCC 12 cannot see that has_value() guards the read.
    const auto fromValue = from.value_or(-1);
    const auto lengthValue = length.value_or(0);
    if (v.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0) {
        options.MusicCutter = 0;
    } else if (from.has_value() && length.has_value() && lengthValue > 0) {
        options.MusicCutter = 1;
        options.CutFrom = fromValue;
        options.CutDuration = lengthValue;
    } else {
        return refused(QStringLiteral("cut"), v,
                       QStringLiteral("START,LENGTH in whole seconds (LENGTH above 0), or off"));
    }
    return QString();
}

// "keep", a preset's pattern, or a pattern of the user's own.
QString applyNames(const QString& v, OptionSettings& options)
{
    if (v.compare(QLatin1String("keep"), Qt::CaseInsensitive) == 0) {
        options.OutputNames = int(NamePattern::Preset::KeepName);
        return QString();
    }
    for (const auto preset : {NamePattern::Preset::ArtistAlbumTrackTitle, NamePattern::Preset::ArtistTitle}) {
        if (v == NamePattern::PresetText(preset)) {
            options.OutputNames = int(preset);
            return QString();
        }
    }
    QString problem;
    if (!NamePattern::Parse(v, &problem))
        return QStringLiteral("--names: ") + problem;
    options.OutputNames = int(NamePattern::Preset::Custom);
    options.NamePattern = v;
    return QString();
}

// An Options list's setting: one word per item of the list, or a flag that sets its last item.
Handler rowHandler(const OptionRows::Row& row)
{
    QStringList names{row.option};
    if (!row.shortOption.isNull())
        names.prepend(QString(row.shortOption));
    if (row.flag) {
        return {QCommandLineOption(names), [&row](const QString&, CommandBuilder::Request& r) {
                    row.set(r.options, qint32(row.count() - 1));
                    return QString();
                }};
    }
    return {QCommandLineOption(names, QString(), row.valueName), [&row](const QString& v, CommandBuilder::Request& r) {
                const auto i = positionIn(row.words, v);
                if (!i)
                    return refused(row.option, v,
                                   row.accepted.isEmpty() ? row.words.join(QLatin1Char('|')) : row.accepted);
                row.set(r.options, qint32(*i));
                return QString();
            }};
}

QList<Handler> handlers(const QString& currentFolder)
{
    QList<Handler> list = {
        {QCommandLineOption(QStringLiteral("format"), QString(), QStringLiteral("name")),
         [](const QString& v, CommandBuilder::Request& r) {
             const auto i = positionIn(FormatTraits::Names(), v);
             if (!i)
                 return refused(QStringLiteral("format"), v, lowered(FormatTraits::Names()).join(QLatin1Char('|')));
             r.formatIndex = *i;
             return QString();
         }},
        choice(QStringLiteral("bitrate"), QStringLiteral("kbps"), &SelectorChoices::Bitrates,
               [](CommandBuilder::Request& r, const QString& v) { r.bitrate = v; }),
        choice(QStringLiteral("rate"), QStringLiteral("hz"), &SelectorChoices::Rates,
               [](CommandBuilder::Request& r, const QString& v) { r.sampleRate = v; }),
        {QCommandLineOption(QStringLiteral("channels"), QString(), QStringLiteral("n")),
         [](const QString& v, CommandBuilder::Request& r) {
             if (v != QLatin1String("1") && v != QLatin1String("2"))
                 return refused(QStringLiteral("channels"), v, QStringLiteral("1 (mono)|2 (stereo)"));
             r.channelIndex = v.toInt() - 1;
             return QString();
         }},
        {QCommandLineOption({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("dir")),
         [currentFolder](const QString& v, CommandBuilder::Request& r) {
             if (v.isEmpty())
                 return QStringLiteral("--output: the folder is empty");
             // The shell expands a "~" only at a word's start, not after "--output=".
             r.outputFolder = absoluteFrom(currentFolder, ProgramPlace::ExpandHome(v));
             return QString();
         }},
        {QCommandLineOption(QStringLiteral("cut"), QString(), QStringLiteral("start,length")),
         [](const QString& v, CommandBuilder::Request& r) { return applyCut(v, r.options); }},
        {QCommandLineOption(QStringLiteral("names"), QString(), QStringLiteral("pattern")),
         [](const QString& v, CommandBuilder::Request& r) { return applyNames(v, r.options); }},
    };
    for (const OptionRows::Row& row : OptionRows::All()) {
        if (!row.option.isEmpty())
            list.append(rowHandler(row));
    }
    return list;
}
} // namespace

Parsed Parse(const QList<QByteArray>& arguments, const CommandBuilder::Request& defaults, const QString& currentFolder)
{
    Parsed p;
    p.request = defaults;
    const QCommandLineOption convert({QStringLiteral("c"), QStringLiteral("convert")}, QString());
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")}, QString());
    const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")}, QString());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")}, QString());
    const QList<Handler> settings = handlers(currentFolder);

    QCommandLineParser parser;
    parser.addOptions({convert, quiet, verbose, help, version});
    for (const Handler& h : settings)
        parser.addOption(h.option);
    QStringList args;
    for (const QByteArray& a : arguments)
        args.append(PathBytes::Decode(a));
    if (!parser.parse(args)) {
        p.message = parser.errorText();
        return p;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        p.action = parser.isSet(help) ? Parsed::Action::Help : Parsed::Action::Version;
        return p;
    }
    // An option given twice is a slip in a script: which one was meant cannot be told.
    for (const Handler& h : settings) {
        if (parser.values(h.option).size() > 1) {
            p.message = QStringLiteral("--%1 is given more than once").arg(h.option.names().constLast());
            return p;
        }
    }
    for (const Handler& h : settings) {
        if (parser.isSet(h.option))
            p.message = h.apply(parser.value(h.option), p.request);
        if (!p.message.isEmpty())
            return p;
    }
    p.quiet = parser.isSet(quiet);
    p.verbose = parser.isSet(verbose);

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

namespace {
// The help's lines for the options the Options lists give, in the same two columns as the others.
QString rowsHelp()
{
    constexpr int kColumn = 25;
    QString text;
    for (const OptionRows::Row& row : OptionRows::All()) {
        if (row.option.isEmpty())
            continue;
        const QString shortName =
            row.shortOption.isNull() ? QStringLiteral("    ") : QStringLiteral("-%1, ").arg(row.shortOption);
        QString name = QStringLiteral("  %1--%2 %3").arg(shortName, row.option, row.valueName);
        if (row.valueName.isEmpty())
            name.chop(1); // a flag takes no value
        const QString indent(kColumn, QLatin1Char(' '));
        text += name.leftJustified(kColumn - 1) + QLatin1Char(' ') +
                QString(row.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) + QLatin1Char('\n');
    }
    return text;
}
} // namespace

QString HelpText()
{
    return QStringLiteral("Usage: veltra-wma-converter --convert [OPTION]... [--] FILE_OR_FOLDER...\n"
                          "Converts files, and the audio files in folders and their subfolders, without a window.\n"
                          "Without --convert the window opens, with the files and folders named in its list.\n"
                          "Every option starts from the settings the window saved; the window's values only.\n"
                          "\n"
                          "  -c, --convert          convert from the terminal (must come first)\n"
                          "      --format NAME      %1\n"
                          "      --bitrate KBPS     %2\n"
                          "      --rate HZ          %3\n"
                          "      --channels N       1 (mono) or 2 (stereo)\n"
                          "  -o, --output DIR       the output folder (a relative one is taken from here)\n"
                          "      --cut START,LENGTH convert only LENGTH seconds from START seconds; off for all\n"
                          "%4"
                          "      --names PATTERN    name each output from its tags: a pattern of fields in braces,\n"
                          "                         {artist} {albumartist} {album} {title} {track} {disc} {year}\n"
                          "                         {genre} {name} {folder}, a \"/\" making a folder; or keep\n"
                          "                         (the file's own name). A missing tag is \"Unknown Artist\",\n"
                          "                         \"Unknown Album\", or the file's name for the title\n"
                          "  -q, --quiet            print nothing but failures\n"
                          "  -v, --verbose          name each folder that could not be searched, with the reason\n"
                          "  -h, --help             show this help\n"
                          "  -V, --version          show the version\n"
                          "      --                 what follows is a file, even when it starts with '-'\n"
                          "\n"
                          "An existing file is never replaced. On a terminal one line shows the progress; otherwise\n"
                          "each file prints one line as it ends: \"PATH: ok\", \"PATH: failed: REASON\" or\n"
                          "\"PATH: skipped\". Ctrl+C stops as the window's Stop button does; Ctrl+Z holds the run\n"
                          "and the files converting, fg (or bg) lets them go on.\n"
                          "\n"
                          "Exit status: 0 all converted or skipped, 1 some failed (or a folder could not be searched,\n"
                          "or this report could not be written), 2 a usage error or nothing could be started,\n"
                          "130 stopped by Ctrl+C (128 + the signal for others).\n"
                          "\n"
                          "Examples:\n"
                          "  veltra-wma-converter --convert --format opus --output ~/phone ~/Music\n"
                          "  veltra-wma-converter -c --format mp3 --bitrate 192 --jobs auto album/ single.flac\n"
                          "  veltra-wma-converter -c --format flac --folders beside --existing skip -q ~/Rips\n"
                          "  veltra-wma-converter -c --format mp3 --names '{artist}/{album}/{track} {title}' "
                          "--keep-dates ~/Music\n")
        .arg(lowered(FormatTraits::Names()).join(QLatin1Char('|')), SelectorChoices::Bitrates().join(QLatin1Char('|')),
             SelectorChoices::Rates().join(QLatin1Char('|')), rowsHelp());
}

} // namespace BatchOptions
