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

// The steps before a file converts: the loudness analyses of the batch and the tag probe of a file.

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
        // A run over a library converted before measures nothing when it will convert nothing. Where even
        // one file converts, every file is measured: its album's gain needs them all.
        m_analysesSkipped = everyOutputThere();
    }
    if (m_analysesSkipped)
        return false;
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

bool BatchDriver::everyOutputThere() const
{
    if (m_setup.options.IfExists != ExistingOutput::Skip || !m_names.keepsName())
        return false;
    QSet<QString> wanted;
    for (int row = int(m_running.size()); row < m_queue->count(); ++row) {
        const FileQueue::Entry entry = m_queue->entryAt(row);
        CommandBuilder::Request request = m_setup;
        request.inputPath = entry.path;
        request.track = entry.track;
        // Where the output would go, as outputFolderFor puts it, without making a folder.
        request.outputFolder =
            OutputPlace::FolderFor(request.options.OutputFiles, request.outputFolder, entry.path, entry.root);
        if (entry.track && !entry.track->wholeFile)
            request.outputFolder += TrackName::Folder(entry.path) + QLatin1Char('/');
        const QString path = CommandBuilder::OutputPath(request);
        // Two inputs of one name own that name and its " (2)": only the first is the name itself.
        const QString key = PathBytes::CaseFolded(path);
        if (wanted.contains(key) || !OutputNames::HoldsOutput(path))
            return false;
        wanted.insert(key);
    }
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
        m_analysedTags.insert(input, slot->runner->tags());
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

void BatchDriver::noteNoGain(const QString& input)
{
    // A file too quiet or too short to measure converts as it is; the end of the batch says which.
    const auto gain = m_gains.constFind(input);
    if (m_loudness == LoudnessPlan::Off || gain == m_gains.cend() || !gain->tags.isEmpty())
        return;
    const QString prefix = QStringLiteral("no gain: ");
    m_outcome.noGain(input, gain->note.startsWith(prefix) ? gain->note.mid(prefix.size()) : gain->note);
}
