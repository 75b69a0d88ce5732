#include "BatchDriver.h"

#include "DOSOutputs.h"
#include "FatName.h"
#include "LoudnessPlan.h"
#include "NumberedName.h"
#include "OutputFolder.h"
#include "OutputPlace.h"
#include "PartFileSweep.h"
#include "ProgressParser.h"
#include "ToolHandshake.h"
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
    m_loudness = m_settings().options.Loudness;
    m_loudnessDecided = false;
    m_toAnalyse.clear();
    m_analysed.clear();
    m_analysedInputs.clear();
    m_gains.clear();
    m_slots = FilesAtOnce::Resolve(m_filesAtOnce);
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
    if (m_state == State::Idle)
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
        if (!folderProblem.isEmpty()) {
            MsgBox::show(
                QStringLiteral("The output folder %1 cannot be used: %2").arg(settings.outputFolder, folderProblem),
                MsgBox::Icon::Critical);
            end(End::CannotStart);
            return;
        }
    }
    if (analysing(settings))
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
    if (m_toolAsked)
        return;
    // Once per batch: the user may have put another tool in place between two batches.
    m_toolAsked = true;
    const QList<QByteArray> arguments = CommandBuilder::BuildArguments(settings);
    m_toolTakesJobs = !arguments.isEmpty() && ToolHandshake::Answers(arguments.first());
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
        CommandBuilder::Request request = m_settings();
        request.inputPath = input;
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
        emit fileEnded(input, FileEnd::Failed, m_outcome.failures().constLast().lastLine);
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
    }
    return made.folder;
}

bool BatchDriver::chooseOutput(CommandBuilder::Request& request, int row)
{
    const QString wanted = CommandBuilder::OutputPath(request);
    if (wanted.isEmpty())
        return true;
    if (request.options.IfExists == 1 && m_outputNames.Taken(wanted)) {
        // Already converted by an earlier run: no tool, and the file leaves the list as a converted one.
        m_outcome.countSkipped();
        m_queue->removeAt(row);
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

BatchDriver::FileStart BatchDriver::startFile(Slot* slot, const QString& input)
{
    CommandBuilder::Request request = m_settings();
    request.inputPath = input;
    const int row = int(m_running.size());
    request.outputFolder = outputFolderFor(request, row);
    if (request.outputFolder.isEmpty() || !chooseOutput(request, row))
        return FileStart::Settled;
    slot->input = input;
    slot->output = request.outputPath;
    slot->pid = -1;
    slot->totalSeconds = 0;
    slot->elapsedSeconds = 0;
    if (m_loudness != LoudnessPlan::Off) {
        const LoudnessPlan::FileGain gain = m_gains.value(input);
        request.gainDb = gain.gainDb;
        request.gainTags = gain.tags;
    }
    const QList<QByteArray> arguments = CommandBuilder::BuildArguments(request);
    askTool(request);
    if (m_toolTakesJobs)
        slot->runner = slot->worker;
    else
        slot->runner = slot->dos;
    m_running.append(slot);
    const bool started = slot->runner->Start(arguments);
    slot->pid = slot->runner->processId();
    if (!started) {
        m_running.removeOne(slot);
        return FileStart::CannotStart;
    }
    if (m_slots > 1)
        m_queue->setRowProgress(int(m_running.size()) - 1, 0);
    emit fileStarted(input, int(m_running.size()) - 1);
    return FileStart::Started;
}

void BatchDriver::objDOS_ReceiveOutputs(Slot* slot, const QString& CommandOutputs)
{
    if (!m_running.contains(slot))
        return;
    const OptionSettings options = m_settings().options;
    if (m_slots == 1) {
        const auto display = ProgressParser::Parse(CommandOutputs, lTotalSeconds, options);
        if (display) {
            emit progressChanged(display->barWidth, display->caption);
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
        emit progressChanged(ProgressParser::kBarFullWidth, QStringLiteral("100%"));
    else
        emit progressChanged(int(ratio * ProgressParser::kBarFullWidth), ProgressParser::Caption(ratio * 100));
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
    const QList<Slot*> stopping = m_running;
    m_running.clear();
    m_toolsEnding += int(stopping.size());
    for (Slot* slot : stopping) {
        QPointer<BatchDriver> self(this);
        auto afterEnd = [self, input = slot->input, output = slot->output, pid = slot->pid](ToolRunner::ExitInfo e) {
            if (self)
                self->stoppedToolEnded(input, output, pid, e);
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
    // Files that did not convert go back into the list, so nothing is lost silently.
    for (const BatchOutcome::Failure& f : m_outcome.failures())
        m_queue->append(f.input, m_rootOf.value(f.input));
    m_state = State::Idle;
    // Beside each original there is no one output folder: the first converted file's folder stands in.
    const QString folder = m_outputMode == OutputPlace::BesideOriginal ? m_firstOutputFolder : m_outputFolder;
    emit batchEnded(how, m_outcome.converted() > 0 ? folder : QString());
}
