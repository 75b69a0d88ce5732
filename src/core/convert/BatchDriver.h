#pragma once

#include "BatchOutcome.h"
#include "CommandBuilder.h"
#include "FolderMaker.h"
#include "LoudnessPlan.h"
#include "NamePattern.h"
#include "OutputNames.h"

#include "DOSOutputs.h"
#include "filelist/FileQueue.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class OutputSync;
class QTimer;

// The batch: converts the queue's files from its head, one tool process per file, and says when the
// batch is over. Our own tool, which answers the handshake, instead keeps one process per slot that
// converts file after file (ToolWorker); every rule below holds per file either way. With one file at a time (Files
// at once set to 1) a file is converted after the one before it has ended and the command counts as over only when
// no process of the tool's name is left; with several, files start in list order as slots free up. Either way a tool
// counts as running while a process named like it is left in its process group; nobody else's process of that name
// counts. The files being converted are always the first rows of the queue, in the order they started; a file leaves
// the queue when its tool ends, and a file that failed comes back at the end of the batch. An input listed twice
// converts once: its second row ends with the first. An input is a row's reference, so the tracks of one album image
// are inputs of their own; "file" below means either.
//
// The output folder is made (every level) before the first file starts; a folder that cannot be made
// or written stops the batch with one message and the list as it was. One that goes away or stops taking
// files while the batch runs is never made again: the files that fail for it, and those still to start,
// fail with the folder named as the reason (OutputFolder::Check). Where each output goes follows
// the "Output files" setting (OutputPlace); a folder below the output folder is made when its first
// file starts, and one that cannot be made fails that file with the reason while the batch goes on.
// In skip mode a file whose own output of an earlier run is there (OutputNames::Look) starts no tool and
// leaves the list as skipped; one whose name holds something else fails with what is in the way.
// Before the batch says it has ended, every file system it wrote to is synced once (OutputSync); one
// that fails is said in a message and in the outcome.
//
// With Loudness on (and our own tool), the files are analysed first, as jobs in the slots' workers like
// conversions, several at once; their rows show "analysing". An album's files can be anywhere in the
// list (CD1 and CD2 folders), and which album a file belongs to comes with its analysis (its tags), so
// the conversions start when the analyses of the files waiting have ended and every album's gain is
// known (LoudnessPlan). A failed analysis fails its file alone. A file added while the batch runs is
// analysed when it comes up, before any further conversion starts. While the batch is paused no analysis
// starts either, the analyses running are held with the tools, and Stop ends them too. A file's tag probe
// for its output name (when names come from tags) comes after the analyses, just before its conversion.
class BatchDriver : public QObject
{
    Q_OBJECT
public:
    enum class End {
        Finished,   // the queue ran empty
        Stopped,    // Stop
        CannotStart // the tool could not be started, or the output folder not used (a message box said why)
    };

    // How one file of the batch ended.
    enum class FileEnd { Converted, Failed, Skipped };

    explicit BatchDriver(FileQueue* queue, QObject* parent = nullptr);
    ~BatchDriver() override;

    // The start command once the queue holds a file: arms Timer1. False while a batch runs. setup is
    // what every file of the batch converts with (everything but the input path and the output name;
    // Files at once from its options), taken once: nothing changes it until the batch ends.
    bool Start(const CommandBuilder::Request& setup);
    // Ends the batch now: every running tool is stopped and its file stays in the list; nothing half
    // written is left behind.
    void Stop();
    // Starts files into free slots, or ends the batch when nothing is left to convert. Nothing starts
    // while the batch is paused.
    void ConvertNext();

    // Holds the batch where it is: every running tool is held (ToolRunner::Pause), no file or job starts
    // and the caption says "Paused" until Resume. A tool that ends meanwhile settles its file as ever.
    // False when no batch is converting or it is paused already.
    bool Pause();
    // Lets the held tools go on and the next files start; false when the batch was not paused.
    bool Resume();
    bool isPaused() const { return m_paused; }
    // How long this batch has been paused, all its pauses together, the current one included.
    qint64 pausedMs() const;

    bool isConverting() const { return m_state != State::Idle; }
    int running() const { return int(m_running.size()); }
    const BatchOutcome& outcome() const { return m_outcome; }
    // What loudness did to a file of this batch ("-6.5 dB", or why it got no gain); empty when none.
    QString loudnessNote(const QString& input) const { return m_gains.value(input).note; }
    // Tools told to stop that have not ended yet; their part files go as each ends.
    int toolsEnding() const { return m_toolsEnding; }

    // For tests: the one-shot start timer, the first slot's runner and the length of its file.
    const QTimer* startTimer() const { return Timer1; }
    DOSOutputs* firstRunner() const { return objDOS; }
    qint32 firstFileSeconds() const { return lTotalSeconds; }

signals:
    // A file's tool has started; row is where the file stands in the queue.
    void fileStarted(const QString& input, int row);
    // How far a running file has come, 0 to 100, as its tool says it.
    void fileProgress(const QString& input, int percent);
    // A file's tool has ended (or the file never reached one); reason is empty unless it failed.
    void fileEnded(const QString& input, BatchDriver::FileEnd how, const QString& reason);
    // The last tool told to stop has ended: nothing of the batch is running or half-written any more.
    void toolsEnded();
    // The bar (0 .. ProgressParser::kBarFullWidth) and the label.
    void progressChanged(int barWidth, const QString& caption);
    // The batch was paused (true) or resumed (false).
    void pausedChanged(bool paused);
    // The folder the batch wrote to (empty when nothing was converted), and how it ended. Failed files
    // are back in the queue by then.
    void batchEnded(BatchDriver::End end, const QString& outputFolder);
    // Something the user should know about the whole batch, said once per batch (a setting it cannot
    // honour).
    void batchNote(const QString& text);

private:
    QTimer* Timer1 = nullptr;
    DOSOutputs* objDOS = nullptr;
    qint32 lTotalSeconds = 0;

    struct Slot;

    enum class State {
        Idle,
        Converting,
        CannotStart // the tool could not be started: nothing more starts, the running files end the batch
    };
    // How starting one file went.
    enum class FileStart {
        Started,
        Settled,     // no tool for it: skipped, or failed for want of a folder or a name; off the list
        CannotStart, // the tool could not be started (a message box said why); the file stays
        Deferred     // it waits for the loudness analyses after all; the file stays
    };

    void Timer1_Timer();
    FileStart startFile(Slot* slot, const QString& input);
    // Whether the tool answers the handshake, asked once a batch.
    bool toolTakesJobs(const QByteArray& tool);
    // The probe step, when names come from tags: the slot's worker reads the input's tags (a track's
    // image's) before its output is named. Nothing when there is no probe to run (a tool of the user's
    // own).
    std::optional<FileStart> startProbe(Slot* slot);
    void noteNoGain(const QString& input);
    bool everyOutputThere() const;
    void probeEnded(Slot* slot);
    // Names and starts a probed file's conversion, in its row among the running ones.
    void afterProbe(Slot* slot);
    // Names the file's output and starts its tool; row is the file's row in the queue.
    FileStart startConversion(Slot* slot, int row);
    // The batch's setup for the slot's file: its path, and its track for an image's.
    CommandBuilder::Request requestFor(const Slot* slot) const;
    // The output's path before it is made free (OutputNames), its folders made, request.outputFolder
    // set; empty, with request.outputFolder empty, after settling the file. Names by the batch's pattern
    // when there is one: the pattern's folders replace the kept tree and a track's image folder.
    QString wantedOutput(CommandBuilder::Request& request, const Slot* slot, const QString& input, int row);
    // Picks the name the file's output takes; false when the file is settled without a tool. input is
    // the row's reference (FileQueue), which every rule of the batch goes by.
    bool chooseOutput(CommandBuilder::Request& request, const QString& input, const QString& wanted, int row);
    bool usesOutputFolder() const;
    // Why nothing can be written to the output folder, or to the folder of this output (when given) that
    // the batch made or found; empty while both take files.
    QString outputSideProblem(const QString& output) const;
    // A file that ends without a tool: skipped when reason is empty, else failed with it.
    void settle(const QString& input, int row, const QString& reason);
    // The folder this file's output goes into, made if need be (a track's in a folder of its image's
    // name); empty after recording the failure.
    QString outputFolderFor(const CommandBuilder::Request& request, const QString& input, int row);
    void objDOS_ReceiveOutputs(Slot* slot, const QString& CommandOutputs);
    void objDOS_CommandOver(Slot* slot);
    void stoppedToolEnded(const QString& input, const QString& output, pid_t pid, ToolRunner::ExitInfo exit);
    bool startsAsConvertedCopy(const QString& input);
    // A file's weight in the batch's progress: its size (see the definition).
    double weightOf(const QString& input);
    double weightOfRow(int row);
    void showBatchProgress();
    void showProgress(int barWidth, const QString& caption);
    void end(End how);
    Slot* freeSlot();
    void askTool(const CommandBuilder::Request& settings);
    // Whether conversions wait for analyses (after starting what can start); decides loudness once.
    bool analysing(const CommandBuilder::Request& settings);
    void startAnalyses();
    void analysisOver(Slot* slot);
    int rowOf(const QString& input) const;

    FileQueue* m_queue;
    CommandBuilder::Request m_setup;
    int m_slots = 1;
    State m_state = State::Idle;
    bool m_folderChecked = false;
    bool m_toolAsked = false;     // the tool was asked this batch whether it takes jobs
    bool m_toolTakesJobs = false; // it does: each slot keeps one tool process for its files
    BatchOutcome m_outcome;
    OutputNames m_outputNames;
    NamePattern m_names;    // this batch's, taken when it starts
    QString m_namesProblem; // why the saved pattern cannot name anything
    FolderMaker m_folders;
    QString m_firstOutputFolder;                // where the first converted file went
    QHash<QString, FileQueue::Entry> m_entryOf; // input reference -> its row, for a failed file's return
    std::vector<std::unique_ptr<Slot>> m_allSlots;
    QList<Slot*> m_running;            // in the order they started: row i of the queue is m_running[i]'s file
    QHash<QString, bool> m_inputsDone; // input reference -> whether it converted, for a second row of it
    QHash<QString, double> m_weights;  // input reference -> weightOf, once per batch
    double m_totalWeight = 0;          // every file of the batch, those not started included
    double m_doneWeight = 0;           // the files that have ended
    int m_shownWidth = -1;             // the progress last shown, kept while the caption says "Paused"
    QString m_shownCaption;
    // Loudness, for this batch: the mode (Off once it cannot be honoured), the files waiting for
    // their analysis, the slots analysing, what the analyses gave and what each file gets.
    int m_loudness = LoudnessPlan::Off;
    bool m_loudnessDecided = false;
    bool m_analysesSkipped = false; // skip mode found every output there: nothing to measure
    QList<QString> m_toAnalyse;
    QList<Slot*> m_analysing;
    QList<LoudnessPlan::File> m_analysed;
    QSet<QString> m_analysedInputs;                         // analysed or failed: never analysed again this batch
    QHash<QString, QHash<QString, QString>> m_analysedTags; // what a probe would give, from the analysis
    QHash<QString, LoudnessPlan::FileGain> m_gains;
    int m_toolsEnding = 0;
    bool m_paused = false;
    QElapsedTimer m_pausedSince;
    qint64 m_pausedMs = 0;              // the pauses that have ended, this batch
    std::unique_ptr<OutputSync> m_sync; // the file systems written to, synced at the end
};
