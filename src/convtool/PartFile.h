#pragma once

#include <ctime>
#include <string>
#include <sys/types.h>

// The file an output is written to until it is complete: ".NAME.part-PID-XXXXXX" in the output's
// folder, with the mode an ordinary new file gets. Commit moves it to the output's name without ever
// replacing a file that holds that name; otherwise it is removed when the object goes, and also when
// the tool is stopped by a signal (RemoveNow), so a failed or stopped conversion never leaves a
// half-written file and never touches what had the output's name.
class PartFile
{
public:
    static constexpr int kMaxCounter = 10000;

    // Throws LibAv::Failure when the file cannot be made. Where the folder's file system refuses the
    // name's characters, the output takes the name FatName::Map gives instead.
    explicit PartFile(const std::string& outputPath);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const std::string& path() const { return m_path; }
    // The open descriptor; the caller takes it over (and closes it).
    int takeFd();

    // The file that held the output's name when the tool started, which the user asked to overwrite:
    // Commit may replace that one file (and no other).
    void allowReplacing(dev_t device, ino_t inode);

    // Moves the part file, its data on the disk first, to the output's name, or, when something holds
    // that name, to the first free "NAME (N).EXT". Throws LibAv::Failure.
    void Commit();

    // Gives the part file this modification time (the output keeps its input's date); its last write
    // must be done. 0, or the reason it could not.
    int SetModified(const struct timespec& modified);

    // After Commit: the path written, 1 or the N of " (N)", and whether the name was mapped.
    const std::string& committedPath() const { return m_committedPath; }
    int counter() const { return m_counter; }
    bool mapped() const { return m_mapped; }

    // For a signal handler: removes the part file of the running conversion, and the placeholder of
    // our own that a commit may hold for a moment, if any. Async-signal-safe.
    static void RemoveNow();

private:
    // Names tried before giving up on a folder where every one is taken.
    static constexpr int kCreateAttempts = 100;

    bool create(const std::string& folder, const std::string& name);
    // 0, or the reason the part file could not take this name (EEXIST: something holds it).
    int place(const std::string& target);
    bool mayReplace(const std::string& target) const;

    std::string m_folder;
    std::string m_name; // the output's file name, mapped where that was needed
    std::string m_path;
    std::string m_committedPath;
    int m_fd = -1;
    int m_counter = 0;
    bool m_mapped = false;
    bool m_committed = false;
    bool m_replaceable = false;
    dev_t m_replaceDevice = 0;
    ino_t m_replaceInode = 0;
};
