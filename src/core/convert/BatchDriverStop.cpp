#include "BatchDriver.h"
#include "BatchDriverSlot.h"

#include "PartFileSweep.h"
#include "ToolRunner.h"
#include "ToolWorker.h"
#include "filelist/FileQueue.h"

#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>

// How a batch stops: each tool ended, its part file swept, a file it finished just then counted.

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
                PartFileSweep::RemoveBeside(output, pid);
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
        PartFileSweep::RemoveBeside(output, pid);
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
