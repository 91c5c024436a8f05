// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/Commands.h"

#include "cli/CommandLine.h"
#include "cli/ProgressLine.h"

#include <array>
#include <exception>
#include <string_view>

namespace tindrel {

namespace {

constexpr std::string_view kProgram = "tindrel-cli";

constexpr std::string_view kOverview =
    R"(Usage: tindrel-cli COMMAND [OPTIONS] [FILE...]

Cuts, joins and tags MP3 files by the same rules as the Tindrel window.

Commands:
  info    show the stream information, the analysis and both tags of files
  split   write a time range, equal parts, or the pieces between pauses or
          the tracks of a CUE sheet, of an MP3 file
  join    write the bodies of MP3 files one after another into one file
  tag     show, edit and copy the ID3v1 and ID3v2 tags of an MP3 file
  edit    remove, keep, level and fade parts of an MP3 file, frame by frame
  loudness
          measure the loudness of files, write ReplayGain tags, and change
          the gain of MP3 files losslessly (with undo)

Run "tindrel-cli COMMAND --help" for the options of a command.
Exit status: 0 done, 1 refused or failed, 2 wrong command line,
130 stopped by Ctrl+C. Errors are one line on standard error; progress is
shown on standard error only when it is a terminal.
)";

constexpr std::string_view kInfoHelp =
    R"(Usage: tindrel-cli info FILE...

Shows, for each file, what the player reports (length, bit rate, sample rate,
channels), what the analysis of its headers finds (format, length in ms and as
time text, bit rate, sample rate, channels, channel mode, VBR header, encoder)
and both tags. Ogg Vorbis, WMA and WAV files are read by their own readers,
chosen by the file name's extension. Every line is "Key: value"; files are
separated by an empty line.
)";

constexpr std::string_view kSplitHelp =
    R"(Usage: tindrel-cli split FILE [--start TIME] --end TIME -o OUT [--force] [--exact]
       tindrel-cli split FILE --parts N -d DIR [--exact]
       tindrel-cli split FILE --parts N --at-pauses -d DIR [PAUSE OPTIONS] [--exact]
       tindrel-cli split FILE --silences -d DIR [PAUSE OPTIONS] [--exact]
       tindrel-cli split FILE --cue SHEET -d DIR [--exact]

Time mode copies the bytes of FILE between two times into OUT. Both times are
moved 150 ms earlier and turned into bytes by the bit rate the player reports:
bytes = kbit/s x ms / 8 from the first byte of the file. The source's ID3v1
and ID3v2 tags are then written into the piece.
Parts mode cuts N parts of equal length the same way and writes them as
DIR/NAME_chunk_1.mp3 ... DIR/NAME_chunk_N.mp3 (NAME is the file name without
its last four characters); existing parts are replaced, but a file marked
read-only (chmod a-w) only with --force, which says that its mark was removed.
With --exact the times are used as they are: the cut is made on whole frames
found by walking them, with a new Xing/Info frame whose encoder delay and
padding make a gapless decoder play exactly the samples from the start time
to the end time; parts divide the exact length and meet without a gap.
A file in which no MPEG audio is found is refused.
The last three cut at times found in the sound or in a CUE sheet, as they
stand (without the 150 ms), by the byte rule or, with --exact, exactly, into
DIR; existing files of the same names are replaced (read-only ones with
--force). Looking for pauses decodes FILE once.
--at-pauses moves each inner cut of the equal parts to the middle of the
longest pause within the window around it; the cuts that found no pause stay
and are named, with the longest quiet found near them.
--silences cuts in the middle of every pause (not those at either end of the
file), keeping pieces of at least --min-piece; --pieces N keeps the N - 1
longest pauses. Finding none is an error.
--cue cuts at the INDEX 01 time of each track of SHEET (the gap before a track
stays with the track before it), names the pieces "NN - Title.mp3" and tags
them with the track's title and performer, the sheet's title as the album,
and the track number.

TIME is minutes:seconds.milliseconds, for example 01:23.456.

Options:
  --start TIME           start of the range (default 00:00.000)
  --end TIME             end of the range (default 00:00.000)
  -o, --output OUT       the piece to write
  -f, --force            replace OUT when it exists, and files marked read-only
  --parts N              the number of equal parts
  -d, --directory DIR    the folder for the parts
  --exact                cut on frames, sample-exact and gapless
  --at-pauses            move the parts' cuts into pauses
  --silences             cut at every pause
  --cue SHEET            cut by a CUE sheet
  --dry-run              list the pauses found and the pieces, write nothing
Pause options:
  --threshold DB         quieter than this is a pause (default -48)
  --min-silence SECONDS  the shortest pause (default 0.3)
  --window SECONDS       how far from a cut to look, either way (default 15)
  --min-piece SECONDS    the shortest piece of --silences (default 0)
  --pieces N             at most N pieces for --silences (default: no limit)
)";

constexpr std::string_view kJoinHelp =
    R"(Usage: tindrel-cli join -o OUT [--force] FILE...

Writes OUT as the bodies of the files, one after another in the order given.
The body of a file is all of it but its first 2,000 and its last 128 bytes;
nothing is read, checked or repaired, and OUT gets no tag of its own. A file
of 2,128 bytes or fewer adds nothing. OUT may not be one of the files.
With --exact the files' audio frames are joined instead, their own Xing/Info
frames left out, behind one new Xing/Info frame for the whole; the pieces of
an exact split join back into the source's audio without a seam. Files whose
sample rate, channels or MPEG version differ from the first are refused.

Options:
  -o, --output OUT       the file to write
  -f, --force            replace OUT when it exists, even marked read-only
  --exact                join the audio frames, gapless
)";

constexpr std::string_view kTagHelp =
    R"(Usage: tindrel-cli tag FILE [OPTIONS]

Without options, shows both tags of FILE as the Edit Tag page does. The
options edit the page's fields in the order given, then the changed tags
are written, both in one replacement of the file when both changed; the
ID3v2 tag always as version 2.3, keeping every other frame the file's tag
held (pictures, lyrics, other comments). A tag that no option touches is
left in the file as it is.

Options:
  --v1-title TEXT, --v1-artist TEXT, --v1-album TEXT, --v1-year TEXT,
  --v1-track NUMBER, --v1-comment TEXT
                         set an ID3v1 field (texts are cut to 30 bytes, the
                         year to 4, and characters outside Latin-1 become
                         "?"; a track is kept in 8 bits, so 300 gives 44,
                         and 0, a negative number or text means no track)
  --v1-genre NAME        an ID3v1 genre by name (any case), or "" for none
  --v2-title TEXT, --v2-artist TEXT, --v2-album TEXT, --v2-year TEXT,
  --v2-track NUMBER, --v2-genre TEXT, --v2-comment TEXT
                         set an ID3v2 field
  --copy-v1-to-v2        copy every ID3v1 field into the ID3v2 tag
  --copy-v2-to-v1        copy every ID3v2 field into the ID3v1 tag; the genre
                         text selects the ID3v1 genre of that name, if any
)";

constexpr std::string_view kLoudnessHelp =
    R"(Usage: tindrel-cli loudness FILE... [--album] [--write] [--apply track|album|DB]
                             [--no-clip]
       tindrel-cli loudness FILE... --undo

Measures the integrated loudness (EBU R128), the sample peak and the true
peak of each file in any format the player reads, and shows them with the
ReplayGain 2.0 gain that brings the file to -18 LUFS. With --album the files
are also measured as one album.

Options:
  --album                show (and with --write, tag) the album's figures too
  --write                write REPLAYGAIN_TRACK_GAIN/PEAK (and _ALBUM_ with
                         --album) as ID3v2 TXXX frames of MP3 files, keeping
                         every other frame and an APEv2 tag as they are
  --apply track|album|DB change the gain of every frame of MP3 files by the
                         whole number of 1.5 dB steps nearest to the track's
                         or the album's gain, or to DB; lossless, and kept in
                         an APEv2 undo record that other MP3 gain tools read
  --no-clip              lower the steps until the peak stays below full scale
  --undo                 take back the gain changes the undo record holds
)";

constexpr std::array kLoudnessOptions = std::to_array<OptionRule>({
    {"--album", "", false},
    {"--write", "", false},
    {"--apply", "", true},
    {"--no-clip", "", false},
    {"--undo", "", false},
});

constexpr std::array kSplitOptions = std::to_array<OptionRule>({
    {"--start", "", true},
    {"--end", "", true},
    {"--output", "-o", true},
    {"--force", "-f", false},
    {"--parts", "", true},
    {"--directory", "-d", true},
    {"--exact", "", false},
    {"--at-pauses", "", false},
    {"--silences", "", false},
    {"--cue", "", true},
    {"--threshold", "", true},
    {"--min-silence", "", true},
    {"--window", "", true},
    {"--min-piece", "", true},
    {"--pieces", "", true},
    {"--dry-run", "", false},
});
constexpr std::array kJoinOptions = std::to_array<OptionRule>({
    {"--output", "-o", true},
    {"--force", "-f", false},
    {"--exact", "", false},
});
constexpr std::array kEditOptions = std::to_array<OptionRule>({
    {"--output", "-o", true},
    {"--force", "-f", false},
    {"--delete", "", true},
    {"--keep", "", true},
    {"--gain", "", true},
    {"--fade-in", "", true},
    {"--fade-out", "", true},
    {"--trim-silence", "", false},
    {"--edits", "", true},
    {"--save-edits", "", true},
    {"--exact", "", false},
});
constexpr std::array kTagOptions = std::to_array<OptionRule>({
    {"--v1-title", "", true},
    {"--v1-artist", "", true},
    {"--v1-album", "", true},
    {"--v1-year", "", true},
    {"--v1-track", "", true},
    {"--v1-genre", "", true},
    {"--v1-comment", "", true},
    {"--v2-title", "", true},
    {"--v2-artist", "", true},
    {"--v2-album", "", true},
    {"--v2-year", "", true},
    {"--v2-track", "", true},
    {"--v2-genre", "", true},
    {"--v2-comment", "", true},
    {"--copy-v1-to-v2", "", false},
    {"--copy-v2-to-v1", "", false},
});

constexpr std::string_view kEditHelp =
    R"(Usage: tindrel-cli edit FILE -o OUT [--delete A-B]... [--keep A-B]...
         [--gain A-B:DB]... [--fade-in A-B] [--fade-out A-B] [--trim-silence]
         [--edits LIST] [--save-edits LIST] [--exact] [--force]

Writes FILE's audio frames into OUT with the edits applied, without decoding
and encoding it again; FILE stays as it is, and its ID3v1 and ID3v2 tags go
into OUT. Times are mm:ss.mmm (or seconds) on FILE's own timeline, whatever
else is removed.
  --delete A-B           remove the audio from A to B
  --keep A-B             keep only these ranges (all --keep ranges stay)
  --gain A-B:DB          raise or lower A to B by DB, in whole 1.5 dB steps
  --fade-in A-B          fade in from 60 dB down over A to B
  --fade-out A-B         fade out to 60 dB down over A to B
  --trim-silence         remove the pauses at both ends (below -48 dB for
                         at least 0.3 s)
  --edits LIST           start from the edit list in LIST (one edit a line)
  --save-edits LIST      write the edits as an edit list to LIST
  --exact                exact first and last samples; every removed range
                         starts exactly where asked and the frames around
                         each seam are encoded anew (a removed range inside
                         the file keeps a whole number of frames' length)
  -f, --force            replace OUT when it exists
Without --exact every seam falls on the frame boundary nearest to it.
)";

struct CommandEntry {
    std::string_view name;
    std::string_view help;
    std::span<const OptionRule> options;
    int (*run)(const CommandLine&, CliContext&);
};

const std::array<CommandEntry, 6> kCommands{{
    {"info", kInfoHelp, {}, &InfoCommand},
    {"split", kSplitHelp, kSplitOptions, &SplitCommand},
    {"join", kJoinHelp, kJoinOptions, &JoinCommand},
    {"tag", kTagHelp, kTagOptions, &TagCommand},
    {"edit", kEditHelp, kEditOptions, &EditCommand},
    {"loudness", kLoudnessHelp, kLoudnessOptions, &LoudnessCommand},
}};

const CommandEntry* findCommand(std::string_view name) {
    for (const CommandEntry& entry : kCommands)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

int fail(CliContext& context, int status, const std::string& message) {
    context.progress.clear();
    context.err << kProgram << ": " << message << '\n';
    return status;
}

} // namespace

int RunCli(std::span<const std::string> args, CliContext& context) {
    if (args.empty())
        return fail(context, kExitUsage, "no command given (see tindrel-cli --help)");
    if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        context.out << kOverview;
        return kExitDone;
    }
    const CommandEntry* command = findCommand(args[0]);
    if (!command)
        return fail(context, kExitUsage, "unknown command " + args[0] + " (see tindrel-cli --help)");
    try {
        const CommandLine line = ParseCommandLine(args.subspan(1), command->options);
        if (line.help) {
            context.out << command->help;
            return kExitDone;
        }
        return command->run(line, context);
    } catch (const UsageError& error) {
        return fail(context, kExitUsage,
                    std::string(error.what()) + " (see tindrel-cli " + std::string(command->name) + " --help)");
    } catch (const std::exception& error) {
        return fail(context, kExitFailed, error.what());
    }
}

} // namespace tindrel
