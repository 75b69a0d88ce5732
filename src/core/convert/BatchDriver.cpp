#include "BatchDriver.h"

#include "DOSOutputs.h"
#include "FatName.h"
#include "NumberedName.h"
#include "OutputFolder.h"
#include "OutputPlace.h"
#include "PartFileSweep.h"
#include "ProgressParser.h"
#include "ToolHandshake.h"
#include "ToolTags.h"
#include "ToolWorker.h"
#include "filelist/FileQueue.h"
#include "filelist/GetFile.h"
#include "filelist/PathBytes.h"
#include "settings/FilesAtOnce.h"
#include "ui/MsgBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>

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

    bool busy() const { return dos->isRunning() || worker->isRunning(); }
};

BatchDriver::BatchDriver(FileQueue* queue, Settings settings, QObject* parent)
    : QObject(parent), m_queue(queue), m_settings(std::move(settings))
{
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &BatchDriver::Timer1_Timer);
    objDOS = freeSlot()->dos;
}

BatchDriver::~BatchDriver() = default;

BatchDriver::Slot* BatchDriver::freeSlot()
{
    for (const auto& s : m_allSlots) {
        if (!m_running.contains(s.get()) && !s->busy())
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

bool BatchDriver::Start()
{
    if (m_state != State::Idle)
        return false;
    m_state = State::Converting;
    m_outcome.reset();
    m_outputNames.reset();
    m_folders.reset();
    m_firstOutputFolder.clear();
    m_rootOf.clear();
    m_inputsDone.clear();
    m_folderChecked = false;
    m_toolAsked = false;
    m_toolTakesJobs = false;
    m_doneSeconds = 0;
    m_paused = false;
    m_pausedMs = 0;
    m_shownWidth = 0;
    m_shownCaption.clear();
    m_slots = FilesAtOnce::Resolve(m_filesAtOnce);
    // The names for the whole batch; a pattern that cannot name anything (a hand-edited options.ini)
    // stops the batch with the reason before any file starts.
    const OptionSettings options = m_settings().options;
    m_namesProblem.clear();
    m_names = NamePattern::For(NamePattern::Preset(options.OutputNames), options.NamePattern, &m_namesProblem)
                  .value_or(NamePattern());
    Timer1->start();
    return true;
}

void BatchDriver::Timer1_Timer()
{
    Timer1->stop();
    QCoreApplication::processEvents();
    if (m_state != State::Idle && m_running.isEmpty())
        ConvertNext();
}

void BatchDriver::ConvertNext()
{
    // Paused, the batch neither starts a file nor ends: Resume comes back here.
    if (m_state == State::Idle || m_paused)
        return;
    const CommandBuilder::Request settings = m_settings();
    m_outputFolder = settings.outputFolder;
    m_outputMode = settings.options.OutputFiles;
    // Beside each original, the output folder is not used: nothing to make or check.
    const bool besideOriginal = m_outputMode == OutputPlace::BesideOriginal;
    // Made again before later files too, in case it was removed while the batch ran; those files then
    // fail with the tool's reason.
    const QString folderProblem = besideOriginal ? QString() : OutputFolder::Prepare(settings.outputFolder);
    if (!m_folderChecked) {
        m_folderChecked = true;
        if (!m_namesProblem.isEmpty()) {
            MsgBox::show(QStringLiteral("The output names cannot be made: %1").arg(m_namesProblem),
                         MsgBox::Icon::Critical);
            end(End::CannotStart);
            return;
        }
        if (!folderProblem.isEmpty()) {
            MsgBox::show(
                QStringLiteral("The output folder %1 cannot be used: %2").arg(settings.outputFolder, folderProblem),
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

bool BatchDriver::startsAsConvertedCopy(const QString& input)
{
    const auto done = m_inputsDone.constFind(input);
    if (done == m_inputsDone.cend())
        return false;
    // A failed first copy is back in the list once already.
    if (*done)
        m_outcome.countConverted();
    m_queue->removeAt(int(m_running.size()));
    return true;
}

QString BatchDriver::outputFolderFor(const CommandBuilder::Request& request, int row)
{
    const int mode = request.options.OutputFiles;
    const QString root = m_queue->rootAt(row);
    if (!root.isEmpty())
        m_rootOf.insert(request.inputPath, root);
    const QString folder = OutputPlace::FolderFor(mode, request.outputFolder, request.inputPath, root);
    if (mode != OutputPlace::KeepFolders || root.isEmpty())
        return folder;
    const FolderMaker::Made made = m_folders.Make(folder);
    if (made.folder.isEmpty()) {
        m_outcome.fail(request.inputPath, made.problem);
        m_queue->removeAt(row);
        emit fileEnded(request.inputPath, FileEnd::Failed, made.problem);
    }
    return made.folder;
}

QString BatchDriver::wantedOutput(CommandBuilder::Request& request, const Slot* slot, int row)
{
    if (m_names.keepsName()) {
        request.outputFolder = outputFolderFor(request, row);
        return request.outputFolder.isEmpty() ? QString() : CommandBuilder::OutputPath(request);
    }
    const QString root = m_queue->rootAt(row);
    if (!root.isEmpty())
        m_rootOf.insert(request.inputPath, root);
    // The pattern's levels replace the kept tree: they go below the output folder itself, or beside
    // the original.
    const int mode = request.options.OutputFiles == OutputPlace::BesideOriginal ? OutputPlace::BesideOriginal
                                                                                : OutputPlace::AllInOne;
    const QString base = OutputPlace::FolderFor(mode, request.outputFolder, request.inputPath, QString());
    const QFileInfo input(request.inputPath);
    const QString relative =
        m_names.Apply({slot->tags, GetFile::ParseStem(request.inputPath), QFileInfo(input.path()).fileName()});
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    request.outputFolder = base;
    if (slash >= 0) {
        const FolderMaker::Made made = m_folders.Make(base + relative.left(slash));
        if (made.folder.isEmpty()) {
            m_outcome.fail(request.inputPath, made.problem);
            m_queue->removeAt(row);
            emit fileEnded(request.inputPath, FileEnd::Failed, made.problem);
            return QString();
        }
        request.outputFolder = made.folder;
    }
    return request.outputFolder + relative.mid(slash + 1) + CommandBuilder::Extension(request.formatIndex);
}

bool BatchDriver::chooseOutput(CommandBuilder::Request& request, const QString& wanted, int row)
{
    if (wanted.isEmpty())
        return true;
    if (request.options.IfExists == 1 && m_outputNames.Taken(wanted)) {
        // Already converted by an earlier run: no tool, and the file leaves the list as a converted one.
        m_outcome.countSkipped();
        m_queue->removeAt(row);
        emit fileEnded(request.inputPath, FileEnd::Skipped, QString());
        return false;
    }
    const auto chosen = m_outputNames.Reserve(request.inputPath, wanted);
    if (!chosen) {
        const QString reason = QStringLiteral("No free name for the output beside ") + wanted;
        m_outcome.fail(request.inputPath, reason);
        m_queue->removeAt(row);
        emit fileEnded(request.inputPath, FileEnd::Failed, reason);
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

BatchDriver::FileStart BatchDriver::startFile(Slot* slot, const QString& input)
{
    slot->input = input;
    slot->output.clear();
    slot->pid = -1;
    slot->totalSeconds = 0;
    slot->elapsedSeconds = 0;
    slot->probing = false;
    slot->probed = false;
    slot->tags.clear();
    if (!m_names.keepsName()) {
        if (const std::optional<FileStart> probe = startProbe(slot))
            return *probe;
    }
    return startConversion(slot, int(m_running.size()));
}

std::optional<BatchDriver::FileStart> BatchDriver::startProbe(Slot* slot)
{
    CommandBuilder::Request request = m_settings();
    request.inputPath = slot->input;
    const QList<QByteArray> arguments = CommandBuilder::BuildArguments(request);
    // Only our own tool reads tags; a tool of the user's own names its outputs from what is known
    // without them (the file's name for the title, "Unknown Artist", ...).
    if (arguments.isEmpty() || !toolTakesJobs(arguments.first()))
        return std::nullopt;
    slot->runner = slot->worker;
    slot->probing = true;
    m_running.append(slot);
    const bool started =
        slot->runner->Start({arguments.first(), ToolTags::kProbeOption, "-i", PathBytes::Encode(slot->input)});
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
        m_queue->append(input, m_rootOf.value(input));
    }
    QMetaObject::invokeMethod(this, &BatchDriver::ConvertNext, Qt::QueuedConnection);
}

BatchDriver::FileStart BatchDriver::startConversion(Slot* slot, int row)
{
    // After its probe the file holds its row among the running ones already.
    const bool listed = m_running.contains(slot);
    CommandBuilder::Request request = m_settings();
    request.inputPath = slot->input;
    const QString wanted = wantedOutput(request, slot, row);
    if (request.outputFolder.isEmpty() || !chooseOutput(request, wanted, row)) {
        m_running.removeOne(slot);
        return FileStart::Settled;
    }
    slot->output = request.outputPath;
    slot->pid = -1;
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
    const OptionSettings options = m_settings().options;
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

void BatchDriver::showBatchProgress()
{
    // Seconds converted of all seconds known: finished files count whole, running ones as far as they
    // have come, and a file's length counts from when the tool has said it.
    double known = m_doneSeconds;
    double done = m_doneSeconds;
    for (const Slot* s : m_running) {
        if (s->totalSeconds > 0) {
            known += s->totalSeconds;
            done += qMin(s->elapsedSeconds, s->totalSeconds);
        }
    }
    if (known <= 0)
        return;
    const double ratio = qBound(0.0, done / known, 1.0);
    if (ratio >= 1.0)
        showProgress(ProgressParser::kBarFullWidth, QStringLiteral("100%"));
    else
        showProgress(int(ratio * ProgressParser::kBarFullWidth), ProgressParser::Caption(ratio * 100));
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
    emit pausedChanged(true);
    emit progressChanged(m_shownWidth, QStringLiteral("Paused"));
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
    const int row = int(m_running.indexOf(slot));
    if (row < 0)
        return;
    if (slot->probing)
        return probeEnded(slot);
    const ToolRunner::ExitInfo exit = slot->runner->lastExit();
    const QString written = writtenPath(slot->output, slot->runner->records());
    const bool converted = m_outcome.record(slot->input, written, exit, slot->runner->Outputs());
    if (converted) {
        m_outputNames.Claim(written);
        if (m_firstOutputFolder.isEmpty())
            m_firstOutputFolder = QFileInfo(written).absolutePath();
    } else if (!slot->output.isEmpty())
        PartFileSweep::RemoveOwnedBy(folderOf(slot->output), slot->pid); // a killed tool cannot clean up
    m_inputsDone.insert(slot->input, converted);
    m_running.removeAt(row);
    m_queue->removeAt(row);
    emit fileEnded(slot->input, converted ? FileEnd::Converted : FileEnd::Failed,
                   converted ? QString() : m_outcome.failures().constLast().lastLine);
    if (slot == m_allSlots.front().get())
        lTotalSeconds = 0;
    if (m_slots > 1) {
        m_doneSeconds += qMax<qint32>(slot->totalSeconds, 0);
        showBatchProgress();
    }
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
    // Files that did not convert go back into the list, so nothing is lost silently.
    for (const BatchOutcome::Failure& f : m_outcome.failures())
        m_queue->append(f.input, m_rootOf.value(f.input));
    m_state = State::Idle;
    // Beside each original there is no one output folder: the first converted file's folder stands in.
    const QString folder = m_outputMode == OutputPlace::BesideOriginal ? m_firstOutputFolder : m_outputFolder;
    emit batchEnded(how, m_outcome.converted() > 0 ? folder : QString());
}
