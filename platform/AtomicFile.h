// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/FileStream.h"
#include "platform/FolderEntry.h"
#include "platform/UniqueFd.h"

#include <memory>
#include <set>
#include <span>
#include <string>
#include <sys/stat.h>

namespace tindrel {

// A new file that takes its name only when it is complete. It is written as
// a file without a name in the target's folder; Commit() flushes it to disk
// and puts it in place in one step, replacing any file of that name. A file
// that is never committed (an error, a crash, a killed process) leaves
// nothing behind, and a file it would have replaced stays as it was.
//
// The system cannot put a nameless file over an existing one directly: it
// is linked beside the target under a temporary name and swapped with it. A
// process killed in the few instructions between the two leaves that name,
// holding the complete new file while the target is still the old one; the
// next write to the same target removes it.
//
// Every name is looked at and opened through the open folder without
// following a link at it, and what is decided (the owner, the mode, the
// extended attributes, whether to rewrite in place) is decided on the file
// actually opened. In a sticky folder shared by many users, another user's
// file or link at the name is refused rather than replaced; a link of the
// writer's own is replaced as a link, never followed. The new file never
// carries a set-user-ID or set-group-ID bit, and takes the replaced file's
// owner only where that file is the writer's own or the folder owner's.
// Before the new file takes the name, the name is checked to still hold
// the file decided on.
//
// A file with other hard links is not replaced, or the other names would
// keep the old content: the complete new content is first given a journal
// name beside it, then copied into the file itself (the part past the old
// end first, so a full disk or a size limit fails before anything of the
// old content changed), and the journal removed. That is done only for the
// writer's own file in a folder nobody else may write, where no other user
// can have planted the second link. A process killed during that copy
// leaves the journal, which records the file as the copy last left it; the
// next write to the same name (or SweepLeftovers) finishes the copy from it
// when the file is still exactly so, and drops it when anything else wrote
// the file since.
inline constexpr const char* kFileInUseReason = "The file is in use by another program";
inline constexpr const char* kNotRegularReason = "It is not a regular file";

class ChangeJournal;

// The names in a folder that writers of the running user may have left
// temporary names or journals beside, found by listing the folder once: a
// writer of thousands of files into one folder then looks for leftovers
// only beside the names that have some, not five times beside each. What
// a writer killed after the listing leaves is swept by the next write.
class LeftoverNames {
public:
    // Every name counts as having leftovers when the folder cannot be listed.
    explicit LeftoverNames(const FolderEntry& folder);
    bool MayBeBeside(const std::string& name) const;

private:
    bool m_listed = false;
    std::set<std::string> m_stems;
};

class AtomicFile {
public:
    // Throws "Cannot create file "<path>". <reason>" when the file could not
    // be created there: a missing folder, a folder of that name, a folder the
    // user may not write, or an existing file the user may not write unless
    // evenIfReadOnly says to replace it all the same, an existing file
    // another program holds under a lock (kFileInUseReason), a device, a
    // pipe or a socket of that name (kNotRegularReason), or a file or link
    // of another user in a shared sticky folder (kOtherUsersReason).
    static AtomicFile Create(const std::string& path, bool evenIfReadOnly = false);
    // The same for the name of an entry in a folder already open (one of
    // many files a writer puts into one folder). sweepFirst false skips the
    // sweep of the entry's leftovers, for a writer that listed the folder
    // and found none beside the name (see LeftoverNames).
    static AtomicFile Create(FolderEntry entry, bool evenIfReadOnly = false, bool sweepFirst = true);

    // Removes the temporary names beside path that writers which no longer
    // run have left, and finishes a copy into a hard-linked file that such a
    // writer left half done. Only names made from path are looked at, and
    // only the writer's own files are touched. Create() does it first; names
    // of running writers stay.
    static void SweepLeftovers(const std::string& path);

    // Called after each block an in-place rewrite has copied into the file,
    // before the journal records it, with the bytes copied so far (or after
    // each block of changes written, with the offset reached): a test
    // stops the writer there as a crash would, to see what the next write
    // makes of what is left.
    static void SetCopyObserver(void (*observer)(int64_t copied));

    AtomicFile(AtomicFile&&) noexcept;
    AtomicFile& operator=(AtomicFile&&) noexcept;
    ~AtomicFile();

    FileStream& stream() { return m_stream; }
    const std::string& path() const { return m_path; }
    // The file being replaced, as it was opened when the replacement was
    // decided on, for reading what it holds; throws "Cannot open file" when
    // the name held no regular file.
    FileStream openReplaced() const;
    // Throws StreamWriteError when the file cannot be put in place.
    void Commit();
    // Commit without the flush of the folder that makes the new name itself
    // outlast a power cut, for a caller that puts several files into one
    // folder and flushes it once (SyncFolderOf) before it calls them
    // written. The content is on disk before it takes the name either way,
    // so the name holds the old file or the whole new one.
    void CommitLeavingFolderUnflushed();
    // For a change of a few bytes here and there (a new gain in every audio
    // frame), instead of a whole new content: records that the replaced
    // file's bytes at offset, which hold old, are to hold now. Changes come
    // in the order of their offsets, each as long as the bytes it replaces
    // but the last, which may be of any length when it reaches the end (a
    // tag behind the audio). Throws std::invalid_argument for a change out
    // of that order, StreamWriteError when the journal cannot be written.
    void Change(int64_t offset, std::span<const uint8_t> old, std::span<const uint8_t> now);
    // Writes the changes recorded into the replaced file itself, keeping its
    // name, links, owner and attributes. The changes are journaled first: a
    // writer killed while it writes them leaves the journal, and the next
    // write to the same name (or SweepLeftovers) finishes them while every
    // changed place still holds its old or new bytes, and drops the journal
    // when anything else wrote the file since. Throws StreamWriteError when
    // the name held no regular file or the file cannot be written.
    void CommitChanges();
    // Starts writing the content to disk without waiting for it, so that the
    // flush of a later commit has less left to wait for.
    void StartFlush();

private:
    AtomicFile(FolderEntry entry, FileStream stream);
    void commit(bool flushFolder);
    bool placeNew();
    void putInPlace();
    void commitInPlace();
    std::string linkBeside();
    void nameJournal();
    UniqueFd openReplacedForWriting(int flags);

    std::unique_ptr<FolderEntry> m_entry;
    FileStream m_stream;
    std::string m_path;
    // The temporary name in the folder that the new file has, if any; it is
    // removed when the file is abandoned.
    std::string m_tempName;
    bool m_committed = false;
    // What the name held when the replacement was decided on.
    bool m_replacing = false;
    struct stat m_targetStat {};
    // The replaced file, opened without following links, locked until the
    // new one has taken its name.
    UniqueFd m_target;
    // The replaced file has other names: its content is rewritten in place.
    bool m_inPlace = false;
    std::unique_ptr<ChangeJournal> m_changes;
};

} // namespace tindrel
