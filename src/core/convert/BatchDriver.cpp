#include "BatchDriver.h"
#include "BatchDriverSlot.h"

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
} // namespace

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
    m_analysesSkipped = false;
    m_toAnalyse.clear();
    m_analysed.clear();
    m_analysedInputs.clear();
    m_analysedTags.clear();
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
        const FileStart how = startFile(freeSlot(), input);
        if (how == FileStart::CannotStart)
            m_state = State::CannotStart;
        if (how == FileStart::Deferred)
            return;
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
    m_doneWeight += weightOf(input);
    showBatchProgress();
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
        // An analysed file's tags came with its loudness: one pass over the batch, not two.
        if (const auto analysed = m_analysedTags.constFind(input); analysed != m_analysedTags.cend())
            slot->tags = *analysed;
        else if (const std::optional<FileStart> probe = startProbe(slot))
            return *probe;
    }
    return startConversion(slot, row);
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
    if (m_analysesSkipped && !m_gains.contains(slot->input)) {
        // Its output seemed there when the batch began, and is not (gone since, or a file dropped on the
        // running batch): the files still waiting are measured after all, this one with them.
        m_analysesSkipped = false;
        m_running.removeOne(slot);
        QMetaObject::invokeMethod(this, &BatchDriver::ConvertNext, Qt::QueuedConnection);
        return FileStart::Deferred;
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
        noteNoGain(slot->input);
        m_outputNames.Claim(written);
        m_sync->add(written);
        if (m_firstOutputFolder.isEmpty())
            m_firstOutputFolder = QFileInfo(written).absolutePath();
    } else if (!slot->output.isEmpty())
        PartFileSweep::RemoveBeside(slot->output, slot->pid); // a killed tool cannot clean up
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
