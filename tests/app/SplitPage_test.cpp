// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Main.h"
#include "app/SplitPage.h"
#include "app/TrackBar.h"
#include "core/Silence.h"
#include "mpeg/FrameWalk.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "platform/FileStream.h"
#include "player/AudioPlayer.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadFileBytes;
using test::TempDir;

Bytes slice(const Bytes& bytes, std::size_t first, std::size_t last) {
    return Bytes(bytes.begin() + first, bytes.begin() + last + 1);
}

// What a piece holds after its tags were written: the new ID3v2 tag, then
// the cut bytes behind the old leading tag, then a 128-byte ID3v1 block.
Bytes audioOfPiece(const std::string& piece) {
    TID3v2 v2;
    EXPECT_TRUE(v2.Load(piece));
    const Bytes bytes = ReadFileBytes(piece);
    return Bytes(bytes.begin() + v2.TagSize(), bytes.end() - 128);
}

class SplitPageTest : public test::WindowFixture {
protected:
    void splitInto(const char* parts, const std::string& folder) {
        click("rdbPart");
        edit("edtPart")->setText(parts);
        dialogs.queueFolder(QString::fromStdString(folder));
        click("btnSplit");
    }
};

TEST_F(SplitPageTest, OpeningShowsTheTagsAndTheLength) {
    open(sample("ten-seconds.mp3"));
    EXPECT_EQ(text("labTitle"), "Ten Seconds");
    EXPECT_EQ(text("labArtist"), "Tindrel Tests");
    EXPECT_EQ(text("labAlbum"), "Samples");
    EXPECT_EQ(text("labYear"), "2026");
    EXPECT_EQ(text("labComment"), "for cutting");
    EXPECT_EQ(form->SplitPage()->LengthMs(), 10'000);
    EXPECT_EQ(text("labLength"), "00:10.000");
    EXPECT_EQ(form->findChild<TTrackBar*>("tkbPosition")->maximum(), 10);
    EXPECT_EQ(form->Player()->Mode(), TPlayerMode::Ready);

    open(sample("vbr-untagged.mp3"));
    EXPECT_EQ(text("labTitle"), "vbr-untagged");
    EXPECT_EQ(text("labArtist"), "Unknown");
    EXPECT_EQ(text("labComment"), "Unknown");
    EXPECT_TRUE(dialogs.messages().empty()) << messages().join('\n').toStdString();
}

// The bytes behind the leading Info frame of a 128 kbit/s, 44.1 kHz stream
// (417 bytes, unpadded), which a piece holding it gets rewritten.
Bytes pastInfoFrame(const Bytes& audio) {
    return Bytes(audio.begin() + std::min<std::size_t>(417, audio.size()), audio.end());
}

TEST_F(SplitPageTest, TwoEqualPartsOfTenSecondsAt128kbps) {
    const std::string source = sample("ten-seconds.mp3");
    const Bytes bytes = ReadFileBytes(source);
    open(source);
    ASSERT_EQ(form->SplitPage()->LengthMs(), 10'000);
    splitInto("2", dir.path());
    EXPECT_EQ(messages(), QStringList("Information: Splitting MP3 is completed."));
    TID3v2 sourceTag;
    sourceTag.Load(source);
    // Part 1 is bytes 0 ... 77,583; it starts at the first byte of the file,
    // so its leading tag was the source's own and has been replaced. Part 2
    // is bytes 77,600 ... 157,599; the 16 bytes between are in neither.
    // Its first frame, the source's Info frame, now counts the piece's
    // frames; every byte behind it is the source's.
    EXPECT_EQ(pastInfoFrame(audioOfPiece(dir.file("ten-seconds_chunk_1.mp3"))),
              pastInfoFrame(slice(bytes, std::size_t(sourceTag.TagSize()), 77'583)));
    EXPECT_EQ(audioOfPiece(dir.file("ten-seconds_chunk_2.mp3")), slice(bytes, 77'600, 157'599));
    TID3v1 v1;
    ASSERT_TRUE(v1.Load(dir.file("ten-seconds_chunk_2.mp3")));
    EXPECT_EQ(v1.Title(), "Ten Seconds");
    EXPECT_FALSE(form->findChild<QProgressBar*>("pgbProgress")->isVisible());
}

TEST_F(SplitPageTest, TimeModeCutsTheRangeAndWritesTheSourcesTags) {
    const std::string source = sample("ten-seconds.mp3");
    const Bytes bytes = ReadFileBytes(source);
    open(source);
    edit("edtStart")->setText("00:00.100");
    edit("edtEnd")->setText("00:02.000");
    const std::string piece = dir.file("piece.mp3");
    dialogs.queueSaveFile(QString::fromStdString(piece));
    click("btnSplit");
    EXPECT_EQ(messages(), QStringList("Information: Splitting MP3 is completed."));
    ASSERT_EQ(dialogs.saveRequests().size(), 1u);
    EXPECT_EQ(dialogs.saveRequests()[0].proposedName, "ten-seconds_chunk_1.mp3");
    TID3v2 sourceTag;
    sourceTag.Load(source);
    EXPECT_EQ(pastInfoFrame(audioOfPiece(piece)),
              pastInfoFrame(slice(bytes, std::size_t(sourceTag.TagSize()), 29'599)));
    EXPECT_EQ(form->Player()->Mode(), TPlayerMode::Closed) << "the cut leaves the player closed";

    // Both tags as a tagger reads them.
    const std::string listing = test::CommandOutput("mid3v2 -l '" + piece + "'");
    EXPECT_NE(listing.find("TIT2=Ten Seconds"), std::string::npos) << listing;
    EXPECT_NE(listing.find("TPE1=Tindrel Tests"), std::string::npos) << listing;
    EXPECT_NE(listing.find("TRCK=4"), std::string::npos) << listing;
    TID3v1 v1;
    ASSERT_TRUE(v1.Load(piece));
    EXPECT_TRUE(v1.Exists());
    EXPECT_EQ(v1.Comment(), "for cutting");
}

TEST_F(SplitPageTest, RefusalsAreExplainedAndWriteNothing) {
    click("btnSplit");
    const std::string source = sample("ten-seconds.mp3");
    open(source);
    edit("edtStart")->setText("00:02.000");
    edit("edtEnd")->setText("00:02.000");
    click("btnSplit");
    edit("edtEnd")->setText("00:01.000");
    dialogs.queueSaveFile(QString::fromStdString(dir.file("reversed.mp3")));
    click("btnSplit");
    edit("edtStart")->setText("00:11.000");
    edit("edtEnd")->setText("00:12.000");
    dialogs.queueSaveFile(QString::fromStdString(dir.file("late.mp3")));
    click("btnSplit");
    EXPECT_EQ(
        messages(),
        QStringList({"Information: Please open a MP3 file.", "Information: Start Time and End Time can not be the same",
                     "Information: Splitting MP3 is failed.\nThe start 00:02.000 is not before the end 00:01.000.",
                     "Information: Starting time: \"00:11.000\" lies past the end of the file, 00:10.000"}));
    EXPECT_FALSE(fs::exists(dir.file("reversed.mp3")));
    EXPECT_FALSE(fs::exists(dir.file("late.mp3")));
}

TEST_F(SplitPageTest, ARefusedCutLeavesTheChosenFileUntouched) {
    open(sample("ten-seconds.mp3"));
    edit("edtStart")->setText("00:03.000");
    edit("edtEnd")->setText("00:02.000");
    const Bytes old = test::PatternBytes(5'000, 3);
    const std::string existing = dir.write("existing.mp3", old);
    dialogs.queueSaveFile(QString::fromStdString(existing));
    click("btnSplit");
    EXPECT_EQ(
        messages(),
        QStringList("Information: Splitting MP3 is failed.\nThe start 00:03.000 is not before the end 00:02.000."));
    EXPECT_EQ(ReadFileBytes(existing), old) << "tags were written into a file the cut never wrote";
}

TEST_F(SplitPageTest, TheSourceIsNeverOverwrittenWhateverItsSpelling) {
    const std::string source = sample("ten-seconds.mp3");
    const Bytes bytes = ReadFileBytes(source);
    fs::create_symlink(source, dir.file("link.mp3"));
    open(source);
    edit("edtEnd")->setText("00:02.000");
    for (const std::string& output :
         {source, dir.file("link.mp3"),
          dir.path() + "/../" + fs::path(dir.path()).filename().string() + "/ten-seconds.mp3"}) {
        dialogs.clear();
        dialogs.queueSaveFile(QString::fromStdString(output));
        click("btnSplit");
        EXPECT_EQ(messages(), QStringList("Information: Output file can not be the same as the input file.")) << output;
    }
    EXPECT_EQ(ReadFileBytes(source), bytes);
}

TEST_F(SplitPageTest, PartCountsAndFoldersAreChecked) {
    open(sample("ten-seconds.mp3"));
    for (const char* count : {"0", "", "x", "-2"}) {
        dialogs.clear();
        splitInto(count, dir.path());
        EXPECT_EQ(messages(), QStringList("Information: Please specify a proper quantity of parts.")) << count;
        EXPECT_EQ(dialogs.dialogsShown(), 0) << count;
    }
    dialogs.clear();
    splitInto("3", dir.file("no-such-folder"));
    EXPECT_EQ(messages(), QStringList("Information: Please specify a proper output directory."));
    dialogs.clear();
    click("btnSplit"); // the folder dialog is cancelled: nothing at all
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(SplitPageTest, ProgressFollowsThePartsWithHalvesToEven) {
    open(sample("ten-seconds.mp3"));
    const struct {
        const char* parts;
        std::vector<int> values;
    } cases[] = {{"5", {0, 25, 50, 75, 100}}, {"9", {0, 12, 25, 38, 50, 62, 75, 88, 100}}, {"1", {100}}};
    for (const auto& c : cases) {
        auto* progress = form->findChild<QProgressBar*>("pgbProgress");
        progress->reset(); // below the range, so a first 0 is seen as a change
        std::vector<int> seen;
        bool visible = false;
        const auto connection = QObject::connect(progress, &QProgressBar::valueChanged, [&](int v) {
            seen.push_back(v);
            visible = progress->isVisibleTo(form.get());
        });
        TempDir out;
        splitInto(c.parts, out.path());
        QObject::disconnect(connection);
        EXPECT_EQ(seen, c.values) << c.parts << " parts";
        EXPECT_TRUE(visible);
        EXPECT_FALSE(progress->isVisibleTo(form.get()));
        EXPECT_TRUE(fs::exists(out.file("ten-seconds_chunk_" + std::string(c.parts) + ".mp3")));
    }
}

// Closing the window while parts are written asks: No keeps the split
// working, Yes stops it before the next part and closes the window once it
// has ended. Split cannot be pressed meanwhile, and the stop says what was
// written.
TEST_F(SplitPageTest, ClosingDuringAPartsRunAsksAndStopsItOnlyWhenTheUserSaysSo) {
    open(sample("ten-seconds.mp3"));
    form->show();
    auto* progress = form->findChild<QProgressBar*>("pgbProgress");
    progress->reset(); // below the range, so the gauge's 0 after part 1 is a change
    int partsSeen = 0;
    bool splitEnabledMeanwhile = false;
    QObject::connect(progress, &QProgressBar::valueChanged, form.get(), [&] {
        splitEnabledMeanwhile |= form->findChild<QAbstractButton*>("btnSplit")->isEnabled();
        if (++partsSeen > 2)
            return;
        dialogs.queueMessageResult(partsSeen == 1 ? MessageResult::No : MessageResult::Yes);
        QMetaObject::invokeMethod(form.get(), "close", Qt::QueuedConnection);
    });
    splitInto("4", dir.path());
    EXPECT_TRUE(fs::exists(dir.file("ten-seconds_chunk_2.mp3")));
    EXPECT_FALSE(fs::exists(dir.file("ten-seconds_chunk_3.mp3")));
    EXPECT_FALSE(splitEnabledMeanwhile);
    const QString ask = "Confirm: A split is still writing its parts. Stop it and quit? What it has written so far is "
                        "kept; No keeps it working.";
    EXPECT_EQ(messages(), QStringList({ask, ask,
                                       "Information: Splitting was stopped after 2 of 4 parts; the parts written are "
                                       "in \"" +
                                           QString::fromStdString(dir.path()) + "\"."}));
    EXPECT_TRUE(form->isVisible()) << "the window went before the split had ended";
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(progress->isVisibleTo(form.get()));
}

// A split asks before it replaces a file the user marked read-only; the
// default answer keeps it.
TEST_F(SplitPageTest, AReadOnlyOutputIsReplacedOnlyWhenTheUserSaysSo) {
    open(sample("ten-seconds.mp3"));
    const std::string kept = dir.write("kept.mp3", Bytes(10, 7));
    fs::permissions(kept, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    edit("edtEnd")->setText("00:02.000");
    for (const auto answer : {MessageResult::No, MessageResult::Yes}) {
        dialogs.clear();
        dialogs.queueMessageResult(answer);
        dialogs.queueSaveFile(QString::fromStdString(kept));
        click("btnSplit");
        EXPECT_EQ(messages().value(0), "Confirm: \"" + QString::fromStdString(kept) +
                                           "\" is marked read-only. Replace it all the same (its read-only mark is "
                                           "removed)?");
        EXPECT_EQ(ReadFileBytes(kept).size() == 10, answer == MessageResult::No);
    }
}

TEST_F(SplitPageTest, APartsRunEndingInAnErrorKeepsTheGaugeShown) {
    open(sample("ten-seconds.mp3"));
    const std::string folder = dir.file("parts");
    fs::create_directory(folder);
    auto* progress = form->findChild<QProgressBar*>("pgbProgress");
    progress->reset(); // below the range, so the gauge's 0 after part 1 is a change
    // The folder goes away after part 1, so part 2 cannot be created.
    QObject::connect(progress, &QProgressBar::valueChanged, form.get(), [&] { fs::remove_all(folder); });
    splitInto("3", folder);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().front().startsWith("Error: Cannot create file")) << messages().front().toStdString();
    EXPECT_TRUE(progress->isVisibleTo(form.get()));
}

// A WAV file's bit rate of 0 would copy the whole file into every ".mp3"
// piece; a source without MPEG audio is refused instead, by name.
TEST_F(SplitPageTest, AWavSourceIsRefusedAsItHoldsNoMPEGAudio) {
    const std::string source = sample("tone.wav");
    dialogs.queueOpenFile(QString::fromStdString(source));
    click("btnOpen");
    splitInto("2", dir.path());
    EXPECT_EQ(messages(), QStringList("Information: \"" + QString::fromStdString(source) +
                                      "\" holds no MPEG audio; only MP3 files can be cut or joined."));
    for (const char* piece : {"tone_chunk_1.mp3", "tone_chunk_2.mp3"})
        EXPECT_EQ(test::FileSizeOf(dir.file(piece)), 0) << piece;
}

TEST_F(SplitPageTest, ARangeThePlayersBitRateDoesNotFitEndsWithAStreamReadError) {
    // The first frame says 320 kbit/s, the rest of the file is 32 kbit/s.
    const std::string source = sample("mixed-rates.mp3");
    const Bytes bytes = ReadFileBytes(source);
    open(source);
    edit("edtEnd")->setText("00:10.000");
    dialogs.queueSaveFile(QString::fromStdString(dir.file("piece.mp3")));
    click("btnSplit");
    EXPECT_EQ(messages(), QStringList("Error: Stream read error"));
    // Only the whole 61,440-byte blocks before the failing one are kept,
    // and no tag was written.
    EXPECT_EQ(ReadFileBytes(dir.file("piece.mp3")), slice(bytes, 0, 61'439));
}

// A VBR source's times are found among its frames, not by its average bit
// rate: the piece is whole frames and decodes to the second asked for.
TEST_F(SplitPageTest, AVbrSourceIsCutAtItsFrames) {
    open(sample("vbr-untagged.mp3"));
    edit("edtStart")->setText("00:01.150");
    edit("edtEnd")->setText("00:02.150");
    dialogs.queueSaveFile(QString::fromStdString(dir.file("piece.mp3")));
    click("btnSplit");
    EXPECT_EQ(messages(), QStringList("Information: Splitting MP3 is completed."));
    const Bytes audio = audioOfPiece(dir.file("piece.mp3"));
    ASSERT_GT(audio.size(), 2u);
    EXPECT_EQ(audio[0], 0xFF) << "the piece starts with a frame";
    const std::optional<LevelProfile> decoded = ScanLevels(dir.file("piece.mp3"), {}, {});
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(double(decoded->lengthMs()), 1000, 1152 * 1000.0 / 44100);
}

// The Exact box, beside Split and Stop and shown whole, makes the parts
// exact: each holds half the source's samples, as its own Info frame says.
TEST_F(SplitPageTest, TheExactBoxMakesThePartsExact) {
    auto* box = form->findChild<QCheckBox*>("chkExactSplit");
    ASSERT_NE(box, nullptr);
    EXPECT_LE(box->sizeHint().width(), box->width());
    EXPECT_TRUE(box->parentWidget()->rect().contains(box->geometry()));
    open(sample("ten-seconds.mp3"));
    box->setChecked(true);
    splitInto("2", dir.path());
    EXPECT_EQ(messages(), QStringList("Information: Splitting MP3 is completed."));
    for (const char* piece : {"ten-seconds_chunk_1.mp3", "ten-seconds_chunk_2.mp3"}) {
        const FileStream file = FileStream::openRead(dir.file(piece));
        TID3v2 tag;
        tag.Load(dir.file(piece));
        EXPECT_EQ(WalkFrames(file, tag.TagSize(), file.size() - 128).ValidSamples(), 220'500) << piece;
    }
}

} // namespace
} // namespace tindrel
