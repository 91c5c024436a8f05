// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/FileStream.h"
#include "platform/UniqueFd.h"

#include <string>

namespace tindrel {

// A new file that takes its name only when it is complete. It is written as
// a file without a name in the target's folder; Commit() flushes it to disk
// and puts it in place in one step, replacing any file of that name. A file
// that is never committed (an error, a crash, a killed process) leaves
// nothing behind, and a file it would have replaced stays as it was.
//
// The system cannot put a nameless file over an existing one directly: it
// is linked beside the target under a temporary name and renamed over it. A
// process killed in the few instructions between the two leaves that name,
// holding the complete new file while the target is still the old one; the
// next write to the same target removes it.
//
// A file with other hard links is not replaced, or the other names would
// keep the old content: the complete new content is first given a journal
// name beside it, then copied into the file itself (the part past the old
// end first, so a full disk or a size limit fails before anything of the
// old content changed), and the journal removed. A process killed during
// that copy leaves the journal; the next write to the same name (or
// SweepLeftovers) finishes the copy from it before anything else.
inline constexpr const char* kFileInUseReason = "The file is in use by another program";
inline constexpr const char* kNotRegularReason = "It is not a regular file";

class AtomicFile {
public:
    // Throws "Cannot create file "<path>". <reason>" when the file could not
    // be created there: a missing folder, a folder of that name, a folder the
    // user may not write, or an existing file the user may not write unless
    // evenIfReadOnly says to replace it all the same, an existing file
    // another program holds under a lock (kFileInUseReason), or a device, a
    // pipe or a socket of that name (kNotRegularReason).
    static AtomicFile Create(const std::string& path, bool evenIfReadOnly = false);

    // Removes the temporary names beside path that writers which no longer
    // run have left, and finishes a copy into a hard-linked file that such a
    // writer left half done. Create() does it first; names of running
    // writers stay.
    static void SweepLeftovers(const std::string& path);

    AtomicFile(AtomicFile&&) noexcept = default;
    AtomicFile& operator=(AtomicFile&&) noexcept = default;
    ~AtomicFile();

    FileStream& stream() { return m_stream; }
    const std::string& path() const { return m_path; }
    // Throws StreamWriteError when the file cannot be put in place.
    void Commit();
    // Commit without the flush of the folder that makes the new name itself
    // outlast a power cut, for a caller that puts several files into one
    // folder and flushes it once (SyncFolderOf) before it calls them
    // written. The content is on disk before it takes the name either way,
    // so the name holds the old file or the whole new one.
    void CommitLeavingFolderUnflushed();
    // Starts writing the content to disk without waiting for it, so that the
    // flush of a later commit has less left to wait for.
    void StartFlush();

private:
    void commit(bool flushFolder);
    void commitInPlace();

    AtomicFile(FileStream stream, std::string path, std::string namedTemp)
        : m_stream(std::move(stream)), m_path(std::move(path)), m_namedTemp(std::move(namedTemp)) {}

    FileStream m_stream;
    std::string m_path;
    // Where the system cannot make files without a name, a visible temporary
    // name is used instead and removed when the file is abandoned.
    std::string m_namedTemp;
    bool m_committed = false;
    // The replaced file, locked until the new one has taken its name.
    UniqueFd m_targetLock;
    // The replaced file has other names: its content is rewritten in place.
    bool m_inPlace = false;
};

} // namespace tindrel
