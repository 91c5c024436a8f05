// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/OggVorbis.h"

#include "tests/player/LittleEndianBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace tindrel {
namespace {

using test::Append;
using test::Append32;
using test::Bytes;
using test::TempDir;

// An Ogg page header with one segment of segmentSize bytes.
Bytes PageHeader(uint32_t granule, uint8_t segmentSize) {
    Bytes page;
    Append(page, std::string("OggS"));
    page.push_back(0);
    page.push_back(0);
    Append32(page, granule);
    Append32(page, 0);
    Append32(page, 1); // serial
    Append32(page, 0); // sequence
    Append32(page, 0); // checksum (not checked)
    page.push_back(1);
    page.push_back(segmentSize);
    return page;
}

struct OggLayout {
    uint8_t channels = 2;
    uint32_t sampleRate = 44100;
    int32_t nominal = 128000;
    std::string vendor = "Tindrel test vendor";
    std::vector<std::string> comments;
    bool endPage = true;
    uint32_t granule = 441000;
    std::size_t audioBytes = 20'000;
};

Bytes OggFile(const OggLayout& layout) {
    Bytes file = PageHeader(0, 30);
    Bytes identification;
    identification.push_back(1);
    Append(identification, std::string("vorbis"));
    Append32(identification, 0);
    identification.push_back(layout.channels);
    Append32(identification, layout.sampleRate);
    Append32(identification, 0);
    Append32(identification, uint32_t(layout.nominal));
    Append32(identification, 0);
    identification.push_back(0xB8);
    identification.push_back(1);
    Append(file, identification);

    Bytes comment;
    comment.push_back(3);
    Append(comment, std::string("vorbis"));
    Append32(comment, uint32_t(layout.vendor.size()));
    Append(comment, layout.vendor);
    Append32(comment, uint32_t(layout.comments.size()));
    for (const auto& entry : layout.comments) {
        Append32(comment, uint32_t(entry.size()));
        Append(comment, entry);
    }
    comment.push_back(1);
    Append(file, PageHeader(0, uint8_t(std::min<std::size_t>(comment.size(), 255))));
    Append(file, comment);
    // Audio stand-in without the page signature in it.
    file.resize(file.size() + layout.audioBytes, 0x5A);
    if (layout.endPage) {
        Append(file, PageHeader(layout.granule, 10));
        file.resize(file.size() + 10, 0x5A);
    }
    return file;
}

Bytes ID3v2Header(uint32_t bodySize, bool footer) {
    Bytes tag{'I',
              'D',
              '3',
              3,
              0,
              uint8_t(footer ? 0x10 : 0),
              uint8_t(bodySize >> 21 & 0x7F),
              uint8_t(bodySize >> 14 & 0x7F),
              uint8_t(bodySize >> 7 & 0x7F),
              uint8_t(bodySize & 0x7F)};
    tag.resize(10 + bodySize + (footer ? 10 : 0), 0);
    return tag;
}

TOggVorbis Read(const Bytes& bytes, bool expected = true) {
    TempDir dir;
    TOggVorbis ogg;
    EXPECT_EQ(ogg.ReadFromFile(dir.write("test.ogg", bytes)), expected);
    return ogg;
}

TEST(OggVorbis, ReadsTheEncoderSamples) {
    TOggVorbis ogg;
    const std::string comments = test::TestDataDir() + "/player/comments.ogg";
    ASSERT_TRUE(ogg.ReadFromFile(comments));
    EXPECT_TRUE(ogg.Valid());
    EXPECT_EQ(ogg.FileSize(), int64_t(std::filesystem::file_size(comments)));
    EXPECT_EQ(ogg.Channels(), 2);
    EXPECT_EQ(ogg.SampleRate(), 44100);
    EXPECT_EQ(ogg.Samples(), 2 * 44100);
    EXPECT_DOUBLE_EQ(ogg.Duration(), 2.0);
    EXPECT_EQ(ogg.Title(), "Vorbis Title");
    EXPECT_EQ(ogg.Artist(), "The Performer"); // ARTIST is empty
    EXPECT_EQ(ogg.Album(), "Album \xC3\x84\xC3\x96\xC3\x9C");
    EXPECT_EQ(ogg.Track(), 7);
    EXPECT_EQ(ogg.Date(), "2023");
    EXPECT_EQ(ogg.Genre(), "Ambient");
    EXPECT_EQ(ogg.Comment(), "described");
    EXPECT_EQ(ogg.Vendor().rfind("Xiph.Org libVorbis", 0), 0u) << ogg.Vendor();

    ASSERT_TRUE(ogg.ReadFromFile(test::TestDataDir() + "/player/mono22.ogg"));
    EXPECT_TRUE(ogg.Valid());
    EXPECT_EQ(ogg.Channels(), 1);
    EXPECT_EQ(ogg.SampleRate(), 22050);
    EXPECT_DOUBLE_EQ(ogg.Duration(), 2.0);
    EXPECT_EQ(ogg.Title(), ""); // nothing left over from the first file
    EXPECT_EQ(ogg.Track(), 0);
}

TEST(OggVorbis, TenSecondsFromTheLastGranule) {
    ASSERT_EQ(OggFile({}).size(), 20'159u);
    const TOggVorbis ogg = Read(OggFile({}));
    EXPECT_EQ(ogg.Samples(), 441000);
    EXPECT_DOUBLE_EQ(ogg.Duration(), 10.0);
    // The average over the file, not the nominal rate: 20,159 bytes in 10 s.
    EXPECT_EQ(ogg.BitRate(), 16);
    EXPECT_EQ(ogg.BitRateNominal(), 128);
    EXPECT_TRUE(ogg.Valid());
}

TEST(OggVorbis, AnID3v2TagInFrontIsSkippedAndLeftOutOfTheRates) {
    for (bool footer : {false, true}) {
        Bytes file = ID3v2Header(20'000, footer);
        Append(file, OggFile({}));
        const TOggVorbis ogg = Read(file);
        EXPECT_EQ(ogg.ID3v2Size(), footer ? 20'020 : 20'010);
        EXPECT_DOUBLE_EQ(ogg.Duration(), 10.0);
        EXPECT_EQ(ogg.BitRate(), 16); // the 20,159 Ogg bytes only
    }
    // A tag size beyond the end of the file means there is no tag; the Ogg
    // data then cannot be found at 0.
    Bytes tooBig = ID3v2Header(10, false);
    tooBig[6] = 0x7F;
    Append(tooBig, OggFile({}));
    const TOggVorbis ogg = Read(tooBig, false);
    EXPECT_EQ(ogg.ID3v2Size(), 0);
    EXPECT_EQ(ogg.FileSize(), 0);
}

TEST(OggVorbis, WithoutAnEndPageTheNominalRateEstimatesTheLength) {
    OggLayout layout;
    layout.endPage = false;
    layout.audioBytes = 40'000; // keeps the end search away from the header pages
    layout.nominal = 127'500;   // rounds to 128 (halves to even)
    const Bytes file = OggFile(layout);
    const TOggVorbis ogg = Read(file);
    EXPECT_EQ(ogg.Samples(), 0);
    EXPECT_EQ(ogg.BitRateNominal(), 128);
    EXPECT_DOUBLE_EQ(ogg.Duration(), double(file.size()) / 128 / 2 / 125 * 2);
    EXPECT_TRUE(ogg.Valid());

    layout.nominal = 0;
    const TOggVorbis unknown = Read(OggFile(layout));
    EXPECT_EQ(unknown.Duration(), 0.0);
    EXPECT_EQ(unknown.BitRate(), 0);
    EXPECT_FALSE(unknown.Valid());

    layout.nominal = -1'000'000; // negative means "not set", not a huge rate
    EXPECT_EQ(Read(OggFile(layout)).BitRateNominal(), 0);
    layout.nominal = 122'500;
    EXPECT_EQ(Read(OggFile(layout)).BitRateNominal(), 122);
}

TEST(OggVorbis, MapsTheCommentFields) {
    struct Case {
        std::vector<std::string> comments;
        std::string title, artist, comment;
        uint16_t track;
        std::string storedVendor = "Tindrel test vendor";
        std::string vendor = "Tindrel test vendor";
    };
    const std::string longTitle(300, 'L');
    const std::vector<Case> cases = {
        {{"TRACKNUMBER=7/12"}, "", "", "", 7},
        {{"TRACKNUMBER=x"}, "", "", "", 0},
        {{"TRACKNUMBER=300"}, "", "", "", 44},
        {{"TRACKNUMBER=-1"}, "", "", "", 255},
        {{"ARTIST=", "PERFORMER=P"}, "", "P", "", 0},
        {{"ARTIST=A", "PERFORMER=P"}, "", "A", "", 0},
        {{"COMMENT=", "DESCRIPTION=D"}, "", "", "D", 0},
        {{"title=first", "Title=second"}, "second", "", "", 0},
        {{"  TITLE=  padded \t"}, "padded", "", "", 0},
        {{"TITLE=a=b"}, "a=b", "", "", 0},
        {{"TITLE=" + longTitle, "ARTIST=after"}, std::string(244, 'L'), "after", "", 0},
        {{"UNKNOWN=x", "no equals sign"}, "", "", "", 0},
        {{"TRACKNUMBER=$0A"}, "", "", "", 10},
        {{"TRACKNUMBER=0x0C/12"}, "", "", "", 12},
        {{"no equals sign", "another"}, "", "", "", 0, "", "no equals sign"},
    };
    for (const auto& c : cases) {
        OggLayout layout;
        layout.comments = c.comments;
        layout.vendor = c.storedVendor;
        const TOggVorbis ogg = Read(OggFile(layout));
        EXPECT_EQ(ogg.Title(), c.title) << c.comments.front();
        EXPECT_EQ(ogg.Artist(), c.artist) << c.comments.front();
        EXPECT_EQ(ogg.Comment(), c.comment) << c.comments.front();
        EXPECT_EQ(ogg.Track(), c.track) << c.comments.front();
        // A text without "=" after a stored vendor does not replace it.
        EXPECT_EQ(ogg.Vendor(), c.vendor) << c.comments.front();
    }
}

TEST(OggVorbis, DecodesUTF8UpToTheFirstBrokenSequence) {
    struct Case {
        std::string raw, expected;
    };
    const Case cases[] = {
        {"Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
        {"ab\xC3(cd", "ab"},  // a lead byte without its continuation
        {"ab\xE2\x82", "ab"}, // cut off by the end of the text
        {"ab\xE2\x82X", "ab"},
        {"\xED\xA0\x80z", "?z"}, // a lone surrogate cannot be shown
    };
    for (const auto& c : cases) {
        OggLayout layout;
        layout.comments = {"ALBUM=" + c.raw};
        EXPECT_EQ(Read(OggFile(layout)).Album(), c.expected) << c.raw;
    }
}

TEST(OggVorbis, BrokenHeadersLeaveEverythingCleared) {
    struct Case {
        const char* what;
        std::size_t at;
        uint8_t value;
    };
    const Case cases[] = {
        {"no page signature", 0, 'X'},
        {"not an identification packet", 28, 2},
        {"not vorbis", 29, 'V'},
    };
    for (const auto& c : cases) {
        Bytes file = OggFile({});
        file[c.at] = c.value;
        const TOggVorbis ogg = Read(file, false);
        EXPECT_EQ(ogg.FileSize(), 0) << c.what;
        EXPECT_EQ(ogg.Channels(), 0) << c.what;
        EXPECT_FALSE(ogg.Valid()) << c.what;
    }
    // Cut off inside the identification header: the missing bytes are zeros,
    // which fail the signature test, or leave a header without a format.
    const Bytes full = OggFile({});
    EXPECT_FALSE(Read(Bytes(full.begin(), full.begin() + 32), false).Valid());
    const TOggVorbis cut = Read(Bytes(full.begin(), full.begin() + 35), true);
    EXPECT_EQ(cut.Channels(), 0);
    EXPECT_FALSE(cut.Valid());
    // Three channels are read but not valid.
    OggLayout surround;
    surround.channels = 3;
    EXPECT_FALSE(Read(OggFile(surround)).Valid());

    TOggVorbis ogg;
    EXPECT_THROW(ogg.ReadFromFile("/nonexistent/folder/x.ogg"), std::runtime_error);
}

TEST(OggVorbis, HugeCountsAndLengthsStopAtTheEndOfTheFile) {
    Bytes file = OggFile({});
    const std::size_t countAt = 28 + 30 + 28 + 7 + 4 + OggLayout{}.vendor.size();
    test::Put32(file, countAt, 0xFFFFFFFF);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Read(file).Valid());
    Bytes longEntry = OggFile({});
    test::Put32(longEntry, countAt, 2);
    longEntry.resize(countAt + 4);
    Append32(longEntry, 0xFFFFFFF0);
    Append(longEntry, std::string("TITLE=cut"));
    EXPECT_EQ(Read(longEntry).Title(), "cut");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

} // namespace
} // namespace tindrel
