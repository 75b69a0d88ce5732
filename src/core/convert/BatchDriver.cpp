#include "BatchDriver.h"

#include "DOSOutputs.h"
#include "FatName.h"
#include "NumberedName.h"
#include "OutputFolder.h"
#include "PartFileSweep.h"
#include "ProgressParser.h"
#include "filelist/FileQueue.h"
#include "filelist/GetFile.h"
#include "filelist/PathBytes.h"
#include "settings/FilesAtOnce.h"
#include "ui/MsgBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
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

struct BatchDriver::Slot
{
    DOSOutputs* dos = nullptr;
    QString input;
    QString output;
    pid_t pid = -1;
    qint32 totalSeconds = 0;
    qint32 elapsedSeconds = 0;
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
        if (!m_running.contains(s.get()) && !s->dos->isRunning())
            return s.get();
    }
    auto slot = std::make_unique<Slot>();
    slot->dos = new DOSOutputs(this);
    Slot* raw = slot.get();
    connect(raw->dos, &DOSOutputs::ReceiveOutputs, this,
            [this, raw](const QString& piece) { objDOS_ReceiveOutputs(raw, piece); });
    connect(raw->dos, &DOSOutputs::CommandOver, this, [this, raw] { objDOS_CommandOver(raw); });
    m_allSlots.push_back(std::move(slot));
    return raw;
}

bool BatchDriver::Start()
{
    if (m_converting)
        return false;
    m_converting = true;
    m_cannotStart = false;
    m_outcome.reset();
    m_outputNames.reset();
    m_inputsDone.clear();
    m_folderChecked = false;
    m_doneSeconds = 0;
    m_slots = FilesAtOnce::Resolve(m_filesAtOnce);
    Timer1->start();
    return true;
}

void BatchDriver::Timer1_Timer()
{
    Timer1->stop();
    QCoreApplication::processEvents();
    if (m_converting && m_running.isEmpty())
        ConvertNext();
}

void BatchDriver::ConvertNext()
{
    if (!m_converting)
        return;
    const CommandBuilder::Request settings = m_settings();
    m_outputFolder = settings.outputFolder;
    // Made again before later files too, in case it was removed while the batch ran; those files then
    // fail with the tool's reason.
    const QString folderProblem = OutputFolder::Prepare(settings.outputFolder);
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
    while (!m_cannotStart && m_running.size() < m_slots && m_running.size() < m_queue->count()) {
        const QString input = m_queue->at(int(m_running.size()));
        if (startsAsConvertedCopy(input))
            continue;
        // Two tools never write one output: the second copy of a path ends with the first.
        const bool copyRunning =
            std::any_of(m_running.cbegin(), m_running.cend(), [&](const Slot* s) { return s->input == input; });
        if (copyRunning)
            break;
        if (!startFile(freeSlot(), input)) {
            if (m_cannotStart)
                break;
            continue; // no name for it: recorded as failed and taken off the list
        }
    }
    if (m_running.isEmpty())
        end(m_cannotStart ? End::CannotStart : End::Finished);
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

bool BatchDriver::startFile(Slot* slot, const QString& input)
{
    CommandBuilder::Request request = m_settings();
    request.inputPath = input;
    const QString wanted = CommandBuilder::OutputPath(request);
    if (!wanted.isEmpty()) {
        const auto chosen = m_outputNames.Reserve(input, wanted);
        if (!chosen) {
            m_outcome.fail(input, QStringLiteral("No free name for the output beside ") + wanted);
            m_queue->removeAt(int(m_running.size()));
            return false;
        }
        request.outputPath = *chosen;
    }
    slot->input = input;
    slot->output = request.outputPath;
    slot->pid = -1;
    slot->totalSeconds = 0;
    slot->elapsedSeconds = 0;
    slot->dos->setToolRecord(true);
    slot->dos->setCommandLine(CommandBuilder::BuildCommandLine(request));
    m_running.append(slot);
    if (!slot->dos->Start()) {
        m_running.removeOne(slot);
        m_cannotStart = true;
        return false;
    }
    slot->pid = slot->dos->processId();
    if (m_slots > 1)
        m_queue->setRowProgress(int(m_running.size()) - 1, 0);
    emit fileStarted(input, int(m_running.size()) - 1);
    return true;
}

void BatchDriver::objDOS_ReceiveOutputs(Slot* slot, const QString& CommandOutputs)
{
    if (!m_running.contains(slot))
        return;
    const OptionSettings options = m_settings().options;
    if (m_slots == 1) {
        const auto display = ProgressParser::Parse(CommandOutputs, lTotalSeconds, options);
        if (display)
            emit progressChanged(display->barWidth, display->caption);
        return;
    }
    const auto display = ProgressParser::Parse(CommandOutputs, slot->totalSeconds, options);
    if (const auto elapsed = ProgressParser::ElapsedSeconds(CommandOutputs))
        slot->elapsedSeconds = *elapsed;
    if (display) {
        const int row = int(m_running.indexOf(slot));
        m_queue->setRowProgress(row, display->barWidth * 100 / ProgressParser::kBarFullWidth);
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
    const int row = int(m_running.indexOf(slot));
    if (row < 0)
        return;
    const DOSOutputs::ExitInfo exit = slot->dos->lastExit();
    const QString written = writtenPath(slot->output, slot->dos->records());
    const bool converted = m_outcome.record(slot->input, written, exit, slot->dos->Outputs());
    if (converted)
        m_outputNames.Claim(written);
    else if (!slot->output.isEmpty())
        PartFileSweep::RemoveOwnedBy(folderOf(slot->output), slot->pid); // a killed tool cannot clean up
    m_inputsDone.insert(slot->input, converted);
    m_running.removeAt(row);
    m_queue->removeAt(row);
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
    if (!m_converting)
        return;
    Timer1->stop();
    const QList<Slot*> stopping = m_running;
    m_running.clear();
    for (Slot* slot : stopping) {
        QPointer<BatchDriver> self(this);
        slot->dos->Stop([self, input = slot->input, output = slot->output, pid = slot->pid](DOSOutputs::ExitInfo e) {
            if (self)
                self->stoppedToolEnded(input, output, pid, e);
            else if (!output.isEmpty())
                PartFileSweep::RemoveOwnedBy(folderOf(output), pid);
        });
    }
    // Their files stay at the head of the list, in their order.
    lTotalSeconds = 0;
    end(End::Stopped);
}

void BatchDriver::stoppedToolEnded(const QString& input, const QString& output, pid_t pid, DOSOutputs::ExitInfo exit)
{
    // Only this tool's part file goes: never another window's live one, never the output name.
    if (!output.isEmpty())
        PartFileSweep::RemoveOwnedBy(folderOf(output), pid);
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
}

void BatchDriver::end(End how)
{
    m_queue->clearProgress();
    // Files that did not convert go back into the list, so nothing is lost silently.
    for (const BatchOutcome::Failure& f : m_outcome.failures())
        m_queue->append(f.input);
    m_converting = false;
    emit batchEnded(how, m_outcome.converted() > 0 ? m_outputFolder : QString());
}
