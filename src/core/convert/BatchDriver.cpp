#include "BatchDriver.h"

#include "DOSOutputs.h"
#include "PartName.h"
#include "ProgressParser.h"
#include "filelist/FileQueue.h"
#include "filelist/GetFile.h"
#include "settings/FilesAtOnce.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <sys/stat.h>

namespace {
// What stood at a path when a tool started, to tell afterwards whether the tool wrote there.
struct Snapshot
{
    bool existed = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified
    {};

    static Snapshot of(const QString& path)
    {
        Snapshot s;
        struct stat st
        {};
        if (::lstat(QFile::encodeName(path).constData(), &st) == 0) {
            s.existed = true;
            s.device = st.st_dev;
            s.inode = st.st_ino;
            s.size = st.st_size;
            s.modified = st.st_mtim;
        }
        return s;
    }

    bool operator==(const Snapshot& o) const
    {
        return existed == o.existed && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

// After a stopped tool has ended: its part file goes, and so does a file under the output name that
// the tool itself wrote. What the user had there before the tool started stays.
void cleanUpAfter(const QString& output, const Snapshot& before, qint64 startedMs)
{
    const QFileInfo out(output);
    const QString prefix = QFile::decodeName(PartName::Prefix(QFile::encodeName(out.fileName()).toStdString()).c_str());
    const QDir folder = out.absoluteDir();
    for (const QFileInfo& part : folder.entryInfoList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden)) {
        if (part.lastModified().toMSecsSinceEpoch() >= startedMs - 1000)
            QFile::remove(part.filePath());
    }
    const Snapshot now = Snapshot::of(output);
    if (now.existed && !(now == before))
        QFile::remove(output);
}
} // namespace

struct BatchDriver::Slot
{
    DOSOutputs* dos = nullptr;
    QString input;
    QString output;
    Snapshot before;
    qint64 startedMs = 0;
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
    if (m_makeFolder)
        m_makeFolder(settings.outputFolder);
    else
        QDir().mkdir(settings.outputFolder);
    while (!m_cannotStart && m_running.size() < m_slots && m_running.size() < m_queue->count()) {
        const QString input = m_queue->at(int(m_running.size()));
        // Two tools never write one output: the second copy of a path waits for the first.
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
    slot->before = Snapshot::of(request.outputPath);
    slot->startedMs = QDateTime::currentMSecsSinceEpoch();
    slot->totalSeconds = 0;
    slot->elapsedSeconds = 0;
    slot->dos->setOwnToolOnly(m_slots > 1);
    slot->dos->setCommandLine(CommandBuilder::BuildCommandLine(request));
    m_running.append(slot);
    if (!slot->dos->Start()) {
        m_running.removeOne(slot);
        m_cannotStart = true;
        return false;
    }
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
    m_outcome.record(slot->input, slot->output, slot->dos->lastExit(), slot->dos->Outputs());
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
    for (Slot* slot : m_running) {
        const QString output = slot->output;
        const Snapshot before = slot->before;
        const qint64 started = slot->startedMs;
        slot->dos->Stop([output, before, started] {
            if (!output.isEmpty())
                cleanUpAfter(output, before, started);
        });
    }
    // Their files stay at the head of the list, in their order.
    m_running.clear();
    lTotalSeconds = 0;
    end(End::Stopped);
}

void BatchDriver::end(End how)
{
    m_queue->clearProgress();
    // Files that did not convert go back into the list, so nothing is lost silently.
    for (const BatchOutcome::Failure& f : m_outcome.failures())
        m_queue->append(f.input);
    m_converting = false;
    emit batchEnded(how, m_outputFolder);
}
