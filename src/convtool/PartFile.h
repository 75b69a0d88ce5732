#pragma once

#include <string>

// The file an output is written to until it is complete: ".NAME.part-XXXXXX" in the output's folder,
// with the mode an ordinary new file gets. Commit renames it over the output; otherwise it is removed
// when the object goes, and also when the tool is stopped by a signal (RemoveNow), so a failed or
// stopped conversion never leaves a half-written file and never touches what had the output's name.
class PartFile
{
public:
    // Throws LibAv::Failure when the file cannot be made.
    explicit PartFile(const std::string& outputPath);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const std::string& path() const { return m_path; }
    // The open descriptor; the caller takes it over (and closes it).
    int takeFd();

    // Renames the part file over the output. Throws LibAv::Failure.
    void Commit();

    // For a signal handler: removes the part file of the running conversion, if any. Async-signal-safe.
    static void RemoveNow();

private:
    std::string m_output;
    std::string m_path;
    int m_fd = -1;
    bool m_committed = false;
};
