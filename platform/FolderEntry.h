// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/UniqueFd.h"

#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace tindrel {

inline constexpr const char* kOtherUsersReason = "It belongs to another user";
inline constexpr const char* kOtherUsersLinkReason = "It is a link that belongs to another user";

// One name in an open folder. Every look at the name and every open of it
// goes through the folder's descriptor and never follows a symbolic link at
// the name itself, so that what a writer decides on (the owner, the mode,
// whether to rewrite a file in place) is decided on the file it actually
// holds open, not on whatever another user of a shared folder puts at the
// name between a look and an open.
class FolderEntry {
public:
    // Opens the folder of path (the links in the folder part are the user's
    // own choice and are followed). Throws "Cannot create file "<path>".
    // <reason>" when the folder cannot be opened.
    static FolderEntry Of(const std::string& path);
    // The entry for another file of the same folder (path's folder part is
    // this one's), through the folder already open: a writer of many files
    // into one folder opens and looks at the folder once. The folder's
    // stat and the writer's user are as they were when it was opened.
    FolderEntry Beside(const std::string& path) const;
    // path is a name in this entry's folder, as FolderEntry::Of would open it.
    bool SharesFolderWith(const std::string& path) const;

    FolderEntry(FolderEntry&&) noexcept = default;
    FolderEntry& operator=(FolderEntry&&) noexcept = default;

    int folder() const { return m_folder->get(); }
    const std::string& name() const { return m_name; }
    const std::string& path() const { return m_path; }
    const struct stat& folderStat() const { return m_folderStat; }
    // The user the writer runs as, taken when the folder was opened (a
    // child that changes its user after a fork opens its own entries).
    uid_t user() const { return m_user; }

    // The entry itself, a link not followed; false when there is none.
    bool look(struct stat& st) const { return look(m_name, st); }
    bool look(const std::string& name, struct stat& st) const;
    // Opens the entry without following a link at it and without waiting
    // on a pipe; the descriptor blocks again once open.
    UniqueFd open(int flags) const { return open(m_name, flags); }
    UniqueFd open(const std::string& name, int flags) const;
    // True while name still names the file st describes.
    bool names(const std::string& name, const struct stat& st) const;
    bool names(const struct stat& st) const { return names(m_name, st); }

    // Someone besides the writer may add or replace names in the folder:
    // a link or a second hard link found there may have been planted.
    bool othersMayWrite() const;
    // Why an entry found at the name must be left alone, or nothing. In a
    // sticky folder (one like /tmp that many users share) whatever belongs
    // neither to the writer nor to the folder's owner is another user's,
    // as the kernel would protect it for any writer but root.
    std::optional<std::string> refusal(const struct stat& entry) const;

private:
    FolderEntry(std::shared_ptr<const UniqueFd> folder, std::string dir, std::string name, std::string path,
                const struct stat& st, uid_t user)
        : m_folder(std::move(folder)), m_dir(std::move(dir)), m_name(std::move(name)), m_path(std::move(path)),
          m_folderStat(st), m_user(user) {}

    // Shared by the entries of one folder (and the writers that commit them
    // on another thread); closed with the last of them.
    std::shared_ptr<const UniqueFd> m_folder;
    std::string m_dir;
    std::string m_name;
    std::string m_path;
    struct stat m_folderStat {};
    uid_t m_user = 0;
};

// True when two stats describe the same file.
bool SameInode(const struct stat& a, const struct stat& b);

// The file path stands for, following a symbolic link only where the kernel
// guarding shared folders would: a link of the writer's own or of its
// folder's owner. Throws "Cannot open file "<path>". <reason>" for a link
// another user made, so that a link swapped in for a file never turns a
// write into a write of the file it points to.
std::string FollowOwnLinks(const std::string& path);

} // namespace tindrel
