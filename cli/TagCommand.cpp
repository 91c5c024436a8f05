// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/ReadOnlyMark.h"
#include "core/TagFields.h"
#include "platform/EditLock.h"
#include "platform/FileOps.h"
#include "platform/FolderEntry.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace tindrel {

namespace {

// The field of a group that "--v1-<field>" or "--v2-<field>" names.
template <typename Fields> std::string* textField(Fields& fields, std::string_view field) {
    if (field == "title")
        return &fields.title;
    if (field == "artist")
        return &fields.artist;
    if (field == "album")
        return &fields.album;
    if (field == "year")
        return &fields.year;
    if (field == "track")
        return &fields.track;
    if (field == "comment")
        return &fields.comment;
    return nullptr;
}

void setV1(ID3v1Fields& fields, std::string_view field, const std::string& value) {
    if (field == "genre") {
        // The page's genre list is pick-only: a name that is not in it
        // cannot be chosen.
        const int entry = FindGenreEntry(value);
        if (entry < 0)
            throw UsageError("\"" + value + "\" is not an ID3v1 genre");
        fields.genreEntry = entry;
    } else {
        *textField(fields, field) = value;
    }
    fields.exists = true;
}

void setV2(ID3v2Fields& fields, std::string_view field, const std::string& value) {
    if (field == "genre")
        fields.genre = value;
    else
        *textField(fields, field) = value;
    fields.exists = true;
}

} // namespace

int TagCommand(const CommandLine& line, CliContext& context) {
    if (line.operands.size() != 1)
        throw UsageError("tag needs exactly one FILE");
    const std::string& named = line.operands[0];
    if (const std::string why = NotAFileReason(named); !why.empty())
        throw std::runtime_error("Cannot open file \"" + named + "\". " + why);
    // The file is read, changed and written as the one file the name stood
    // for at the start, reached through no link another user made.
    const std::string file = FollowOwnLinks(named);
    // A second tag run on the same file is refused while this one reads
    // and writes it, instead of undoing what this one writes.
    std::optional<EditLock> editing;
    if (std::any_of(line.options.begin(), line.options.end(), [](const ParsedOption& option) {
            return option.name.starts_with("--v1-") || option.name.starts_with("--v2-") ||
                   option.name.starts_with("--copy-");
        }))
        editing.emplace(EditLock::Acquire(file));
    TID3v1 v1Tag;
    TID3v2 v2Tag;
    ID3v1Fields v1 = ShowID3v1(file, v1Tag);
    ID3v2Fields v2 = ShowID3v2(file, v2Tag);
    // Every edit is made on the fields first, so that a refused one leaves
    // the file untouched.
    bool writeV1 = false;
    bool writeV2 = false;
    for (const ParsedOption& option : line.options) {
        const std::string_view name = option.name;
        if (name.starts_with("--v1-")) {
            setV1(v1, name.substr(5), option.value);
            writeV1 = true;
        } else if (name.starts_with("--v2-")) {
            setV2(v2, name.substr(5), option.value);
            writeV2 = true;
        } else if (name == "--copy-v1-to-v2") {
            if (!CopyToID3v2(v1, v2))
                throw std::runtime_error("There is no ID3v1 tag to copy.");
            writeV2 = true;
        } else if (name == "--copy-v2-to-v1") {
            if (!CopyFromID3v2(v2, v1))
                throw std::runtime_error("There is no ID3v2 tag to copy.");
            writeV1 = true;
        }
    }
    // Both tags are written in one replacement of the file, as the page's
    // "Updat All" with both boxes checked does.
    const bool wasReadOnly = HasReadOnlyMark(file);
    errno = 0;
    if (writeV1 && writeV2) {
        if (const auto failure = SaveBothGroups(file, v1, v2, v1Tag, v2Tag))
            throw std::runtime_error(*failure);
    } else if (writeV1 && !SaveID3v1(file, v1, v1Tag)) {
        throw std::runtime_error(SaveFailureText("ID3v1", named, errno != 0 ? std::strerror(errno) : ""));
    } else if (writeV2 && !SaveID3v2(file, v2, v2Tag)) {
        throw std::runtime_error(SaveFailureText("ID3v2", named, v2Tag.LastError()));
    }
    // The writers take the mark off on purpose; the user hears of it.
    if (wasReadOnly && !HasReadOnlyMark(file))
        context.err << "tindrel-cli: " << kReadOnlyMarkRemoved << '\n';
    if (writeV1)
        if (const std::vector<std::string> lost = FieldsOutsideLatin1(v1); !lost.empty())
            context.err << "tindrel-cli: " << Latin1LossText(lost) << '\n';
    // What the file holds now, read back.
    if (writeV1 || writeV2) {
        v1 = ShowID3v1(file, v1Tag);
        v2 = ShowID3v2(file, v2Tag);
    }
    WriteReport(context.out, TagReport(v1, v2), context.outIsTerminal);
    return kExitDone;
}

} // namespace tindrel
