#include "BatchDriver.h"

#include "DOSOutputs.h"
#include "FatName.h"
#include "LoudnessPlan.h"
#include "NumberedName.h"
#include "OutputFolder.h"
#include "OutputPlace.h"
#include "OutputSync.h"
#include "PartFileSweep.h"
#include "ProgressParser.h"
#include "ToolHandshake.h"
#include "ToolTags.h"
#include "ToolWorker.h"
#include "filelist/FileQueue.h"
#include "filelist/GetFile.h"
#include "filelist/PathBytes.h"
#include "filelist/TrackName.h"
#include "settings/FilesAtOnce.h"
#include "ui/MsgBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <sys/stat.h>

namespace {
// The path the tool actually wrote, from the name it was given and what its record says; the name it
// was given when it recorded nothing (a tool of the user's own).
QString writtenPath(const QString& given, const QList<ToolRecord::Entry>& records)
{
    const auto named = std::find_if(records.crbegin(), records.crend(),
                                    [](const ToolRecord::Entry& e) { return e.kind == ToolRecord::Entry::Kind::Name; });
    if (named == records.crend() || given.isEmpty())
        return given;
    const QString fileName = GetFile::ParseFileName(given);
    const QString folder = given.left(given.size() - fileName.size());
    std::string name = PathBytes::Encode(fileName).toStdString();
    if (named->mapped)
        name = FatName::Map(name);
    if (named->counter > 1)
        name = NumberedName(name, named->counter);
    return folder + PathBytes::Decode(QByteArray::fromStdString(name));
}

// A cue sheet's tag under the name the name pattern knows it by.
QString namingKey(const QString& toolName)
{
    if (toolName == QLatin1String("album_artist"))
        return QStringLiteral("albumartist");
    if (toolName == QLatin1String("date"))
        return QStringLiteral("year");
    return toolName;
}

QByteArray folderOf(const QString& path)
{
    return PathBytes::Encode(QFileInfo(path).absolutePath());
}
} // namespace

// A slot runs its files either one tool process each (dos) or as jobs of one tool process it keeps
// (worker), as the batch decided when its first file started; runner is the one in use.
struct BatchDriver::Slot
{
    DOSOutputs* dos = nullptr;
    ToolWorker* worker = nullptr;
    ToolRunner* runner = nullptr;
    QString input;
    QString output;
    pid_t pid = -1;
    qint32 totalSeconds = 0;
    qint32 elapsedSeconds = 0;
    // The probe step, before a name from tags is reserved: running, or ended while the batch was
    // paused (the conversion starts on Resume); the tags it found.
    bool probing = false;
    bool probed = false;
    QHash<QString, QString> tags;
    FileQueue::Entry entry; // the row it converts: the path, or an image's path and its track
    double weight = 0;      // the file's share of the batch's work (BatchDriver::weightOf)

    bool busy() const { return dos->isRunning() || worker->isRunning(); }
};

BatchDriver::BatchDriver(FileQueue* queue, QObject* parent)
    : QObject(parent), m_queue(queue), m_sync(std::make_unique<OutputSync>())
{
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &BatchDriver::Timer1_Timer);
    objDOS = freeSlot()->dos;
    // Files dropped while a list converts join the batch, and its work.
    connect(m_queue, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        if (m_state == State::Idle)
            return;
        for (int row = first; row <= last; ++row)
            m_totalWeight += weightOfRow(row);
    });
}

BatchDriver::~BatchDriver() = default;

BatchDriver::Slot* BatchDriver::freeSlot()
{
    for (const auto& s : m_allSlots) {
        if (!m_running.contains(s.get()) && !m_analysing.contains(s.get()) && !s->busy())
            return s.get();
    }
    auto slot = std::make_unique<Slot>();
    slot->dos = new DOSOutputs(this);
    slot->dos->setToolRecord(true);
    slot->worker = new ToolWorker(this);
    slot->runner = slot->dos;
    Slot* raw = slot.get();
    for (ToolRunner* runner : {static_cast<ToolRunner*>(raw->dos), static_cast<ToolRunner*>(raw->worker)}) {
        connect(runner, &ToolRunner::ReceiveOutputs, this,
                [this, raw](const QString& piece) { objDOS_ReceiveOutputs(raw, piece); });
        connect(runner, &ToolRunner::CommandOver, this, [this, raw] { objDOS_CommandOver(raw); });
    }
    m_allSlots.push_back(std::move(slot));
    return raw;
}

bool BatchDriver::Start(const CommandBuilder::Request& setup)
{
    if (m_state != State::Idle)
        return false;
    m_state = State::Converting;
    m_setup = setup;
    m_outcome.reset();
    m_outputNames.reset();
    m_folders.reset();
    m_firstOutputFolder.clear();
    m_entryOf.clear();
    m_inputsDone.clear();
    m_folderChecked = false;
    m_toolAsked = false;
    m_toolTakesJobs = false;
    m_loudness = setup.options.Loudness;
    m_loudnessDecided = false;
    m_toAnalyse.clear();
    m_analysed.clear();
    m_analysedInputs.clear();
    m_gains.clear();
    m_slots = FilesAtOnce::Resolve(setup.options.FilesAtOnce);
    m_weights.clear();
    m_doneWeight = 0;
    m_totalWeight = 0;
    for (int row = 0; row < m_queue->count(); ++row)
        m_totalWeight += weightOfRow(row);
    m_shownWidth = -1;
    m_shownCaption.clear();
    m_paused = false;
    m_pausedMs = 0;
    // The names for the whole batch; a pattern that cannot name anything (a hand-edited options.ini)
    // stops the batch with the reason before any file starts.
    m_namesProblem.clear();
    m_names =
        NamePattern::For(NamePattern::Preset(setup.options.OutputNames), setup.options.NamePattern, &m_namesProblem)
            .value_or(NamePattern());
    Timer1->start();
    return true;
}

void BatchDriver::Timer1_Timer()
{
    Timer1->stop();
    QCoreApplication::processEvents();
    if (m_state != State::Idle && m_running.isEmpty() && m_analysing.isEmpty())
        ConvertNext();
}

void BatchDriver::ConvertNext()
{
    // Paused, the batch neither starts a file nor ends: Resume comes back here.
    if (m_state == State::Idle || m_paused)
        return;
    // Made once, before the first file. Beside each original the output folder is not used: nothing to
    // make or check.
    if (!m_folderChecked) {
        m_folderChecked = true;
        if (!m_namesProblem.isEmpty()) {
            MsgBox::show(QStringLiteral("The output names cannot be made: %1").arg(m_namesProblem),
                         MsgBox::Icon::Critical);
            end(End::CannotStart);
            return;
        }
        const QString folderProblem = usesOutputFolder() ? OutputFolder::Prepare(m_setup.outputFolder) : QString();
        if (!folderProblem.isEmpty()) {
            MsgBox::show(
                QStringLiteral("The output folder %1 cannot be used: %2").arg(m_setup.outputFolder, folderProblem),
                MsgBox::Icon::Critical);
            end(End::CannotStart);
            return;
        }
    }
    // Files whose tags came while the batch was paused go on first, in their order.
    for (Slot* slot : QList<Slot*>(m_running)) {
        if (slot->probed && m_state == State::Converting)
            afterProbe(slot);
    }
    if (analysing(m_setup))
        return;
    while (m_state == State::Converting && m_running.size() < m_slots && m_running.size() < m_queue->count()) {
        const QString input = m_queue->at(int(m_running.size()));
        if (startsAsConvertedCopy(input))
            continue;
        // Two tools never write one output: the second copy of a path ends with the first.
        const bool copyRunning =
            std::any_of(m_running.cbegin(), m_running.cend(), [&](const Slot* s) { return s->input == input; });
        if (copyRunning)
            break;
        // A tool that cannot start starts nothing more; the batch ends once the files running have.
        if (startFile(freeSlot(), input) == FileStart::CannotStart)
            m_state = State::CannotStart;
    }
    if (m_running.isEmpty())
        end(m_state == State::CannotStart ? End::CannotStart : End::Finished);
}

void BatchDriver::askTool(const CommandBuilder::Request& settings)
{
    if (!m_toolAsked)
        toolTakesJobs(CommandBuilder::BuildArguments(settings).value(0));
}

bool BatchDriver::analysing(const CommandBuilder::Request& settings)
{
    if (m_loudness == LoudnessPlan::Off)
        return false;
    if (!m_loudnessDecided) {
        m_loudnessDecided = true;
        askTool(settings);
        if (!m_toolTakesJobs) {
            m_loudness = LoudnessPlan::Off;
            emit batchNote(QStringLiteral("Loudness needs the program's own conversion tool, and data/conv.exe is "
                                          "another one: this batch converts without it."));
            return false;
        }
        if (m_loudness == LoudnessPlan::Tags && !LoudnessPlan::KeepsTags(settings.formatIndex)) {
            m_loudness = LoudnessPlan::Off;
            emit batchNote(QStringLiteral("%1 files keep no gain tags: this batch converts without them.")
                               .arg(CommandBuilder::Extension(settings.formatIndex).mid(1).toUpper()));
            return false;
        }
    }
    // Every file waiting that has not been analysed, each once, in the list's order.
    for (int row = int(m_running.size()); row < m_queue->count(); ++row) {
        const QString& input = m_queue->at(row);
        if (!m_analysedInputs.contains(input) && !m_toAnalyse.contains(input) &&
            std::none_of(m_analysing.cbegin(), m_analysing.cend(), [&](const Slot* s) { return s->input == input; }))
            m_toAnalyse.append(input);
    }
    if (m_toAnalyse.isEmpty() && m_analysing.isEmpty())
        return false;
    startAnalyses();
    if (m_analysing.isEmpty() && m_running.isEmpty())
        end(m_state == State::CannotStart ? End::CannotStart : End::Finished);
    return true;
}

int BatchDriver::rowOf(const QString& input) const
{
    // The running files are the first rows; a file waiting is further down.
    const int row = int(m_queue->paths().indexOf(input, m_running.size()));
    return row;
}

void BatchDriver::startAnalyses()
{
    const auto mode = LoudnessPlan::Mode(m_loudness);
    while (m_state == State::Converting && !m_toAnalyse.isEmpty() && m_analysing.size() + m_running.size() < m_slots) {
        const QString input = m_toAnalyse.takeFirst();
        CommandBuilder::Request request = m_setup;
        // A track of an image is measured on its own range: its album's gain comes from its samples.
        const FileQueue::Entry entry = m_queue->entryAt(rowOf(input));
        request.inputPath = entry.path;
        request.track = entry.track;
        Slot* slot = freeSlot();
        slot->input = input;
        slot->output.clear();
        slot->pid = -1;
        slot->runner = slot->worker;
        m_analysing.append(slot);
        if (!slot->runner->Start(CommandBuilder::BuildAnalysisArguments(request, LoudnessPlan::PeakKind(mode)))) {
            m_analysing.removeOne(slot);
            m_state = State::CannotStart;
            return;
        }
        slot->pid = slot->runner->processId();
        m_queue->setRowProgress(rowOf(input), FileQueue::kAnalysing);
    }
}

void BatchDriver::analysisOver(Slot* slot)
{
    m_analysing.removeOne(slot);
    const QString input = slot->input;
    m_analysedInputs.insert(input);
    const ToolRunner::ExitInfo exit = slot->runner->lastExit();
    const LoudnessPlan::Analysis analysis = LoudnessPlan::Read(slot->runner->recordLines());
    const int row = rowOf(input);
    if (exit.succeeded() && analysis.complete()) {
        m_analysed.append({input, analysis});
        m_queue->setRowProgress(row, -1);
    } else {
        // The file fails with the tool's reason; its album goes on without it.
        if (exit.succeeded())
            m_outcome.fail(input, QStringLiteral("the loudness analysis gave no result"));
        else
            m_outcome.record(input, QString(), exit, slot->runner->Outputs());
        m_inputsDone.insert(input, false);
        m_queue->removeAt(row);
        m_doneWeight += weightOf(input);
        emit fileEnded(input, FileEnd::Failed, m_outcome.failures().constLast().lastLine);
        showBatchProgress();
    }
    if (m_toAnalyse.isEmpty() && m_analysing.isEmpty())
        m_gains = LoudnessPlan::Plan(LoudnessPlan::Mode(m_loudness), m_analysed);
    QMetaObject::invokeMethod(this, &BatchDriver::ConvertNext, Qt::QueuedConnection);
}

bool BatchDriver::startsAsConvertedCopy(const QString& input)
{
    const auto done = m_inputsDone.constFind(input);
    if (done == m_inputsDone.cend())
        return false;
    // A failed first copy is back in the list once already.
    if (*done)
        m_outcome.countConverted();
    m_queue->removeAt(int(m_running.size()));
    m_doneWeight += weightOf(input);
    showBatchProgress();
    return true;
}

QString BatchDriver::outputFolderFor(const CommandBuilder::Request& request, const QString& input, int row)
{
    const OutputLayout mode = request.options.OutputFiles;
    const QString root = m_queue->rootAt(row);
    QString folder = OutputPlace::FolderFor(mode, request.outputFolder, request.inputPath, root);
    const bool track = request.track && !request.track->wholeFile;
    if (track)
        folder += TrackName::Folder(request.inputPath) + QLatin1Char('/');
    if (!track && (mode != OutputLayout::KeepFolders || root.isEmpty()))
        return folder;
    const FolderMaker::Made made = m_folders.Make(folder);
    if (made.folder.isEmpty())
        settle(input, row, made.problem);
    return made.folder;
}

void BatchDriver::settle(const QString& input, int row, const QString& reason)
{
    if (reason.isEmpty())
        m_outcome.countSkipped();
    else
        m_outcome.fail(input, reason);
    m_queue->removeAt(row);
    m_doneWeight += weightOf(input);
    emit fileEnded(input, reason.isEmpty() ? FileEnd::Skipped : FileEnd::Failed, reason);
    showBatchProgress();
}

QString BatchDriver::wantedOutput(CommandBuilder::Request& request, const Slot* slot, const QString& input, int row)
{
    if (m_names.keepsName()) {
        request.outputFolder = outputFolderFor(request, input, row);
        return request.outputFolder.isEmpty() ? QString() : CommandBuilder::OutputPath(request);
    }
    // The pattern's levels replace the kept tree and a track's folder of its image: they go below the
    // output folder itself, or beside the original.
    const OutputLayout mode = request.options.OutputFiles == OutputLayout::BesideOriginal ? OutputLayout::BesideOriginal
                                                                                          : OutputLayout::AllInOne;
    const QString base = OutputPlace::FolderFor(mode, request.outputFolder, request.inputPath, QString());
    const QFileInfo original(request.inputPath);
    NamePattern::Input named{slot->tags, GetFile::ParseStem(request.inputPath), QFileInfo(original.path()).fileName()};
    if (request.track) {
        // As the tool tags it: the sheet's tags over the file's own (CommandBuilder::BuildArguments).
        for (const auto& [key, value] : request.track->tags.Pairs())
            named.tags.insert(namingKey(key), value);
        if (!request.track->wholeFile) {
            // An image's title names the whole image, never one untitled track; {name} is the track's
            // "NN Title".
            if (request.track->tags.title.isEmpty())
                named.tags.insert(QStringLiteral("title"),
                                  QStringLiteral("Track %1").arg(request.track->number, 2, 10, QLatin1Char('0')));
            named.name = TrackName::Stem(*request.track);
        }
    }
    const QString relative = m_names.Apply(named);
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    request.outputFolder = base;
    if (slash >= 0) {
        const FolderMaker::Made made = m_folders.Make(base + relative.left(slash));
        if (made.folder.isEmpty()) {
            settle(input, row, made.problem);
            return QString();
        }
        request.outputFolder = made.folder;
    }
    return request.outputFolder + relative.mid(slash + 1) + CommandBuilder::Extension(request.formatIndex);
}

bool BatchDriver::chooseOutput(CommandBuilder::Request& request, const QString& input, const QString& wanted, int row)
{
    if (wanted.isEmpty())
        return true;
    std::optional<QString> chosen;
    if (m_setup.options.IfExists == ExistingOutput::Skip) {
        const OutputNames::Looked looked = m_outputNames.Look(input, wanted);
        switch (looked.found) {
        case OutputNames::Looked::Found::Output:
            // Converted by an earlier run: no tool, and the file leaves the list as a converted one.
            settle(input, row, QString());
            return false;
        case OutputNames::Looked::Found::InTheWay:
            // Converting beside it would add one more copy on every run, and nothing may replace it.
            settle(input, row,
                   QStringLiteral("%1 is in the way at %2, not a converted output: it was left alone")
                       .arg(looked.what.left(1).toUpper() + looked.what.mid(1), looked.path));
            return false;
        case OutputNames::Looked::Found::Nothing:
            chosen = looked.path;
            break;
        case OutputNames::Looked::Found::NoName:
            break;
        }
    } else {
        chosen = m_outputNames.Reserve(input, wanted);
    }
    if (!chosen) {
        settle(input, row, QStringLiteral("No free name for the output beside ") + wanted);
        return false;
    }
    request.outputPath = *chosen;
    return true;
}

bool BatchDriver::toolTakesJobs(const QByteArray& tool)
{
    if (!m_toolAsked) {
        // Once per batch: the user may have put another tool in place between two batches.
        m_toolAsked = true;
        m_toolTakesJobs = !tool.isEmpty() && ToolHandshake::Answers(tool);
    }
    return m_toolTakesJobs;
}

bool BatchDriver::usesOutputFolder() const
{
    return m_setup.options.OutputFiles != OutputLayout::BesideOriginal;
}

QString BatchDriver::outputSideProblem(const QString& output) const
{
    // The output folder named first: when it is gone, so is everything below it.
    if (usesOutputFolder()) {
        const QString problem = OutputFolder::Check(m_setup.outputFolder);
        if (!problem.isEmpty() || output.isEmpty())
            return problem;
    }
    return output.isEmpty() ? QString() : OutputFolder::Check(QFileInfo(output).absolutePath());
}

CommandBuilder::Request BatchDriver::requestFor(const Slot* slot) const
{
    CommandBuilder::Request request = m_setup;
    request.inputPath = slot->entry.path;
    request.track = slot->entry.track;
    return request;
}

BatchDriver::FileStart BatchDriver::startFile(Slot* slot, const QString& input)
{
    const int row = int(m_running.size());
    const FileQueue::Entry entry = m_queue->entryAt(row);
    if (!entry.root.isEmpty() || entry.track)
        m_entryOf.insert(input, entry);
    // An output folder removed or made read-only while the batch runs fails the files still to start
    // with that reason; it is never made again (a stick pulled would leave its mount point, and the
    // outputs would go to the disk beneath).
    if (const QString problem = outputSideProblem(QString()); !problem.isEmpty()) {
        settle(input, row, problem);
        return FileStart::Settled;
    }
    slot->input = input;
    slot->entry = entry;
    slot->output.clear();
    slot->pid = -1;
    slot->totalSeconds = 0;
    slot->elapsedSeconds = 0;
    slot->weight = weightOf(input);
    slot->probing = false;
    slot->probed = false;
    slot->tags.clear();
    if (!m_names.keepsName()) {
        if (const std::optional<FileStart> probe = startProbe(slot))
            return *probe;
    }
    return startConversion(slot, row);
}

std::optional<BatchDriver::FileStart> BatchDriver::startProbe(Slot* slot)
{
    const QList<QByteArray> arguments = CommandBuilder::BuildArguments(requestFor(slot));
    // Only our own tool reads tags; a tool of the user's own names its outputs from what is known
    // without them (the file's name for the title, "Unknown Artist", ...).
    if (arguments.isEmpty() || !toolTakesJobs(arguments.first()))
        return std::nullopt;
    slot->runner = slot->worker;
    slot->probing = true;
    m_running.append(slot);
    // A track's tags beyond its sheet's are its image's.
    const bool started =
        slot->runner->Start({arguments.first(), ToolTags::kProbeOption, "-i", PathBytes::Encode(slot->entry.path)});
    slot->pid = slot->runner->processId();
    if (!started) {
        slot->probing = false;
        m_running.removeOne(slot);
        return FileStart::CannotStart;
    }
    if (m_slots > 1)
        m_queue->setRowProgress(int(m_running.size()) - 1, 0);
    emit fileStarted(slot->input, int(m_running.size()) - 1);
    return FileStart::Started;
}

void BatchDriver::probeEnded(Slot* slot)
{
    // A failed probe gives no tags: the conversion itself says what is wrong with the file.
    slot->probing = false;
    slot->probed = true;
    slot->tags = slot->runner->tags();
    if (!m_paused)
        afterProbe(slot);
}

void BatchDriver::afterProbe(Slot* slot)
{
    slot->probed = false;
    const QString input = slot->input;
    const int row = int(m_running.indexOf(slot));
    const FileStart how = startConversion(slot, row);
    if (how == FileStart::Started)
        return;
    if (how == FileStart::CannotStart) {
        // Its row leaves the running ones at the head of the list and stays in it, at the end.
        m_state = State::CannotStart;
        m_queue->removeAt(row);
        m_queue->append(slot->entry);
    }
    QMetaObject::invokeMethod(this, &BatchDriver::ConvertNext, Qt::QueuedConnection);
}

BatchDriver::FileStart BatchDriver::startConversion(Slot* slot, int row)
{
    // After its probe the file holds its row among the running ones already.
    const bool listed = m_running.contains(slot);
    CommandBuilder::Request request = requestFor(slot);
    const QString wanted = wantedOutput(request, slot, slot->input, row);
    if (request.outputFolder.isEmpty() || !chooseOutput(request, slot->input, wanted, row)) {
        m_running.removeOne(slot);
        return FileStart::Settled;
    }
    slot->output = request.outputPath;
    slot->pid = -1;
    if (m_loudness != LoudnessPlan::Off) {
        const LoudnessPlan::FileGain gain = m_gains.value(slot->input);
        request.gainDb = gain.gainDb;
        request.gainTags = gain.tags;
    }
    QList<QByteArray> arguments = CommandBuilder::BuildArguments(request);
    toolTakesJobs(arguments.value(0));
    // Only our own tool knows the option (it answers the handshake); it sets the date on the part file
    // before the commit, so the output never shows today's date, however briefly.
    if (request.options.KeepDate != 0 && m_toolTakesJobs && !arguments.isEmpty())
        arguments.insert(arguments.size() - 1, QByteArrayLiteral("-keep_date"));
    if (m_toolTakesJobs)
        slot->runner = slot->worker;
    else
        slot->runner = slot->dos;
    if (!listed)
        m_running.append(slot);
    const bool started = slot->runner->Start(arguments);
    slot->pid = slot->runner->processId();
    if (!started) {
        m_running.removeOne(slot);
        return FileStart::CannotStart;
    }
    if (listed)
        return FileStart::Started;
    if (m_slots > 1)
        m_queue->setRowProgress(int(m_running.size()) - 1, 0);
    emit fileStarted(slot->input, int(m_running.size()) - 1);
    return FileStart::Started;
}

void BatchDriver::objDOS_ReceiveOutputs(Slot* slot, const QString& CommandOutputs)
{
    if (!m_running.contains(slot) || slot->probing)
        return;
    const OptionSettings& options = m_setup.options;
    // One file at a time: the bar and the title are the running file's own progress.
    if (m_slots == 1) {
        const auto display = ProgressParser::Parse(CommandOutputs, lTotalSeconds, options);
        if (display) {
            showProgress(display->barWidth, display->caption);
            emit fileProgress(slot->input, display->barWidth * 100 / ProgressParser::kBarFullWidth);
        }
        return;
    }
    const auto display = ProgressParser::Parse(CommandOutputs, slot->totalSeconds, options);
    if (const auto elapsed = ProgressParser::ElapsedSeconds(CommandOutputs))
        slot->elapsedSeconds = *elapsed;
    if (display) {
        const int row = int(m_running.indexOf(slot));
        const int percent = display->barWidth * 100 / ProgressParser::kBarFullWidth;
        m_queue->setRowProgress(row, percent);
        emit fileProgress(slot->input, percent);
        showBatchProgress();
    }
}

double BatchDriver::weightOf(const QString& input)
{
    // Every row was weighed when the batch started or when it was dropped in.
    return m_weights.value(input, 1);
}

double BatchDriver::weightOfRow(int row)
{
    const FileQueue::Entry entry = m_queue->entryAt(row);
    const QString input = entry.reference();
    const auto known = m_weights.constFind(input);
    if (known != m_weights.cend())
        return *known;
    // A file's work goes with its size, as long as the tool converts all of it; with the cutter on every
    // file converts the same length, and counts alike. So does a file that cannot be read (it will fail
    // at once) or is empty: as one byte, next to nothing beside a real track. An image's track counts as
    // its share of the image.
    double weight = 1;
    struct stat st
    {};
    if (m_setup.options.MusicCutter == 0 && ::stat(PathBytes::Encode(entry.path).constData(), &st) == 0 &&
        st.st_size > 0) {
        weight = double(st.st_size);
        if (entry.track && !entry.track->wholeFile && entry.track->tags.trackTotal > 0)
            weight /= entry.track->tags.trackTotal;
    }
    m_weights.insert(input, weight);
    return weight;
}

void BatchDriver::showBatchProgress()
{
    // With several files at once, the share of the batch's work done: every file of the batch weighs
    // what weightOf gives it, those not started yet and those dropped meanwhile included; an ended file
    // counts whole, a running one as far as its tool says it has come. So the bar runs ahead of the work
    // done by at most what one file's size says wrongly of its length. One file at a time shows that
    // file's own progress instead (objDOS_ReceiveOutputs).
    if (m_slots == 1)
        return;
    double done = m_doneWeight;
    for (const Slot* s : m_running) {
        if (s->totalSeconds > 0)
            done += s->weight * qBound(0.0, double(s->elapsedSeconds) / s->totalSeconds, 1.0);
    }
    if (m_totalWeight <= 0)
        return;
    const double ratio = qBound(0.0, done / m_totalWeight, 1.0);
    const int width = ratio >= 1.0 ? ProgressParser::kBarFullWidth : int(ratio * ProgressParser::kBarFullWidth);
    const QString caption = ratio >= 1.0 ? QStringLiteral("100%") : ProgressParser::Caption(ratio * 100);
    // Only what changes is shown: a list of short files reports many times per pixel.
    if (width == m_shownWidth && caption == m_shownCaption)
        return;
    showProgress(width, caption);
}

void BatchDriver::showProgress(int barWidth, const QString& caption)
{
    m_shownWidth = barWidth;
    m_shownCaption = caption;
    // What the pipes still held when the tools were held must not take "Paused" off the label.
    if (!m_paused)
        emit progressChanged(barWidth, caption);
}

bool BatchDriver::Pause()
{
    if (m_state == State::Idle || m_paused)
        return false;
    m_paused = true;
    m_pausedSince.start();
    Timer1->stop();
    for (Slot* slot : std::as_const(m_running))
        slot->runner->Pause();
    for (Slot* slot : std::as_const(m_analysing))
        slot->runner->Pause();
    emit pausedChanged(true);
    emit progressChanged(qMax(m_shownWidth, 0), QStringLiteral("Paused"));
    return true;
}

bool BatchDriver::Resume()
{
    if (!m_paused)
        return false;
    m_paused = false;
    m_pausedMs += m_pausedSince.elapsed();
    // Every runner, not only the running ones: a worker that finished its job as it was held is held
    // still, and its next job would wait for it.
    for (const auto& s : m_allSlots) {
        s->dos->Resume();
        s->worker->Resume();
    }
    emit pausedChanged(false);
    if (!m_shownCaption.isEmpty())
        emit progressChanged(m_shownWidth, m_shownCaption);
    // Files that ended while paused left their slots free.
    QMetaObject::invokeMethod(this, &BatchDriver::ConvertNext, Qt::QueuedConnection);
    return true;
}

qint64 BatchDriver::pausedMs() const
{
    return m_pausedMs + (m_paused ? m_pausedSince.elapsed() : 0);
}

void BatchDriver::objDOS_CommandOver(Slot* slot)
{
    if (m_analysing.contains(slot)) {
        analysisOver(slot);
        return;
    }
    const int row = int(m_running.indexOf(slot));
    if (row < 0)
        return;
    if (slot->probing)
        return probeEnded(slot);
    const ToolRunner::ExitInfo exit = slot->runner->lastExit();
    const QString written = writtenPath(slot->output, slot->runner->records());
    const bool converted = m_outcome.record(slot->input, written, exit, slot->runner->Outputs());
    // A tool that failed because its folder went away says "No such file or directory" of a path; the
    // reason is the folder, not the input.
    if (!converted) {
        if (const QString problem = outputSideProblem(slot->output); !problem.isEmpty())
            m_outcome.setLastReason(problem);
    }
    if (converted) {
        m_outputNames.Claim(written);
        m_sync->add(written);
        if (m_firstOutputFolder.isEmpty())
            m_firstOutputFolder = QFileInfo(written).absolutePath();
    } else if (!slot->output.isEmpty())
        PartFileSweep::RemoveOwnedBy(folderOf(slot->output), slot->pid); // a killed tool cannot clean up
    m_inputsDone.insert(slot->input, converted);
    m_running.removeAt(row);
    m_queue->removeAt(row);
    m_doneWeight += slot->weight;
    emit fileEnded(slot->input, converted ? FileEnd::Converted : FileEnd::Failed,
                   converted ? QString() : m_outcome.failures().constLast().lastLine);
    if (slot == m_allSlots.front().get())
        lTotalSeconds = 0;
    showBatchProgress();
    // The next file starts once this notification has returned, so the call depth stays the same
    // however many files the batch holds.
    QMetaObject::invokeMethod(this, &BatchDriver::ConvertNext, Qt::QueuedConnection);
}

void BatchDriver::Stop()
{
    if (m_state == State::Idle)
        return;
    Timer1->stop();
    // Held tools need no Resume: the stop continues each after its SIGTERM, so it can remove its part file.
    if (m_paused) {
        m_paused = false;
        m_pausedMs += m_pausedSince.elapsed();
        emit pausedChanged(false);
    }
    const QList<Slot*> stopping = m_running;
    m_running.clear();
    m_toolsEnding += int(stopping.size());
    for (Slot* slot : stopping) {
        // A file between its probe and its conversion has no tool to wait for.
        if (slot->probed) {
            slot->probed = false;
            --m_toolsEnding;
            continue;
        }
        QPointer<BatchDriver> self(this);
        // A probe that ended before the signal converted nothing.
        const bool probing = std::exchange(slot->probing, false);
        auto afterEnd = [self, input = slot->input, output = slot->output, pid = slot->pid,
                         probing](ToolRunner::ExitInfo e) {
            if (self)
                self->stoppedToolEnded(input, output, pid, probing ? ToolRunner::ExitInfo{} : e);
            else if (!output.isEmpty())
                PartFileSweep::RemoveOwnedBy(folderOf(output), pid);
        };
        slot->runner->Stop(afterEnd);
    }
    // An analysis leaves nothing behind and converts nothing: only its end is waited for.
    const QList<Slot*> analysing = m_analysing;
    m_analysing.clear();
    m_toAnalyse.clear();
    m_toolsEnding += int(analysing.size());
    for (Slot* slot : analysing) {
        QPointer<BatchDriver> self(this);
        slot->runner->Stop([self](ToolRunner::ExitInfo) {
            if (self && --self->m_toolsEnding == 0)
                emit self->toolsEnded();
        });
    }
    // Workers between two files go with the rest.
    for (const auto& s : m_allSlots)
        s->worker->Stop();
    // Their files stay at the head of the list, in their order.
    lTotalSeconds = 0;
    end(End::Stopped);
}

void BatchDriver::stoppedToolEnded(const QString& input, const QString& output, pid_t pid, ToolRunner::ExitInfo exit)
{
    // Only this tool's part file goes: never another window's live one, never the output name.
    if (!output.isEmpty())
        PartFileSweep::RemoveOwnedBy(folderOf(output), pid);
    // Whoever waits for the last tool hears of it only once this file's outcome is settled.
    const auto settled = qScopeGuard([this] {
        if (--m_toolsEnding == 0)
            emit toolsEnded();
    });
    if (!exit.succeeded())
        return;
    // It finished its file before the signal came: the file is converted and leaves the list, unless a
    // new batch is converting that row already.
    m_outcome.countConverted();
    const bool busy =
        std::any_of(m_running.cbegin(), m_running.cend(), [&](const Slot* s) { return s->input == input; });
    const int row = int(m_queue->paths().indexOf(input));
    if (!busy && row >= int(m_running.size()))
        m_queue->removeAt(row);
    emit fileEnded(input, FileEnd::Converted, QString());
}

void BatchDriver::end(End how)
{
    // Idle workers see the end of their input and exit.
    for (const auto& s : m_allSlots) {
        if (!s->worker->isRunning())
            s->worker->Close();
    }
    m_queue->clearProgress();
    // Before the batch says it is over, what it wrote is on its drives: a stick pulled after "Done" must
    // not keep names without their data, which every later skip-mode run would take as converted.
    for (const OutputSync::Problem& p : m_sync->syncAll()) {
        m_outcome.notWrittenOut(p.folder, p.reason);
        MsgBox::show(QStringLiteral("The drive of %1 could not write everything out: %2. The files converted there "
                                    "may be incomplete.")
                         .arg(p.folder, p.reason),
                     MsgBox::Icon::Warning);
    }
    // Files that did not convert go back into the list, so nothing is lost silently.
    for (const BatchOutcome::Failure& f : m_outcome.failures())
        m_queue->append(m_entryOf.value(f.input, FileQueue::Entry{f.input, QString(), nullptr}));
    m_state = State::Idle;
    // Beside each original there is no one output folder: the first converted file's folder stands in.
    const QString folder =
        m_setup.options.OutputFiles == OutputLayout::BesideOriginal ? m_firstOutputFolder : m_setup.outputFolder;
    emit batchEnded(how, m_outcome.converted() > 0 ? folder : QString());
}
