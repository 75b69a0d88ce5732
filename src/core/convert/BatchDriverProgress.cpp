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

// How far the batch has come, and its pause.

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
