// The spellings flac, opusenc and lame users type, and the calls that must
// be refused before any file is touched.

#include <gtest/gtest.h>

#include <vector>

#include "cli/CommandLine.h"

namespace zarn::cli {
namespace {

CommandLine parse(std::vector<const char*> words) {
    words.insert(words.begin(), "zarn");
    return parseCommandLine(static_cast<int>(words.size()), words.data());
}

TEST(CommandLine, OptionsAndFilesInAnyOrder) {
    const CommandLine line = parse({"a.wav", "-dfq", "--basic", "b.zarn", "--no-dither", "--", "-c.zarn", "-"});
    ASSERT_EQ(line.action, CommandLine::Action::Run) << line.error;
    EXPECT_EQ(line.options.mode, Mode::Decode);
    EXPECT_TRUE(line.options.force);
    EXPECT_TRUE(line.options.quiet);
    EXPECT_FALSE(line.options.dither);
    EXPECT_EQ(line.options.kind, ZARN_ENCODER_REDUCED);
    EXPECT_EQ(line.options.files, (std::vector<std::string>{"a.wav", "b.zarn", "-c.zarn", "-"}));

    const CommandLine defaults = parse({"a.wav"});
    EXPECT_EQ(defaults.options.mode, Mode::Encode);
    EXPECT_EQ(defaults.options.kind, ZARN_ENCODER_BITRATE);
    EXPECT_EQ(defaults.options.bitrate, 192);
    EXPECT_TRUE(defaults.options.dither);
    EXPECT_FALSE(defaults.options.output);
}

TEST(CommandLine, EverySpellingOfAValue) {
    for (const std::vector<const char*>& words :
         {std::vector<const char*>{"-o", "x.zarn", "a.wav"}, {"-ox.zarn", "a.wav"}, {"a.wav", "--output", "x.zarn"},
          {"--output=x.zarn", "a.wav"}, {"-qo", "x.zarn", "a.wav"}}) {
        const CommandLine line = parse(words);
        ASSERT_EQ(line.action, CommandLine::Action::Run) << words[0] << ": " << line.error;
        EXPECT_EQ(line.options.output, "x.zarn") << words[0];
        EXPECT_EQ(line.options.files, std::vector<std::string>{"a.wav"}) << words[0];
    }
    // A bit rate, however spelt; the last encoder asked for is the one.
    for (const std::vector<const char*>& words : {std::vector<const char*>{"-b", "128", "a.wav"}, {"-b128", "a.wav"},
                                                  {"--bitrate=128", "a.wav"}, {"--full", "--bitrate", "128", "a.wav"}}) {
        const CommandLine line = parse(words);
        ASSERT_EQ(line.action, CommandLine::Action::Run) << words[0] << ": " << line.error;
        EXPECT_EQ(line.options.kind, ZARN_ENCODER_BITRATE) << words[0];
        EXPECT_EQ(line.options.bitrate, 128) << words[0];
    }
    EXPECT_EQ(parse({"-b", "128", "--basic", "a.wav"}).options.kind, ZARN_ENCODER_REDUCED);
    // The value is taken as it is, even when it looks like an option.
    EXPECT_EQ(parse({"-o", "-", "-"}).options.output, "-");
    EXPECT_EQ(parse({"-o", "--basic", "a.wav"}).options.output, "--basic");
}

TEST(CommandLine, WrongCalls) {
    for (const std::vector<const char*>& words :
         {std::vector<const char*>{}, {"-q"}, {"--frobnicate", "a.wav"}, {"-z", "a.wav"}, {"a.wav", "-o"},
          {"a.wav", "--output"}, {"--force=yes", "a.wav"}, {"-o", "x", "-o", "y", "a.wav"}, {"-o", "", "a.wav"},
          {"-o", "x.zarn", "a.wav", "b.wav"}, {"-d", "-t", "a.zarn"}, {"-t", "-o", "x.wav", "a.zarn"},
          {"--help", "--frobnicate"}, {"-b", "63", "a.wav"}, {"-b", "2561", "a.wav"}, {"-b", "1e2", "a.wav"},
          {"--bitrate=", "a.wav"}, {"-b", "0128", "a.wav"},
          // The bare stream is one channel's: its range is the codec's.
          {"--raw", "-b", "321", "a.wav"}, {"-b", "321", "a.wav", "-o", "a.zarn"},
          {"--tag", "TITLE", "a.wav"}, {"--tag", "=x", "a.wav"}, {"--tag=A~B=x", "a.wav"},
          {"--skip", "1:x", "a.zarn"}, {"--skip", "-5", "a.zarn"}, {"--skip", "", "a.zarn"}, {"--until", "1e3", "a.zarn"},
          {"--skip", "+5", "a.zarn"}, {"--rate", "0", "a.zarn"}, {"--rate", "44.1", "a.zarn"}}) {
        std::string call;
        for (const char* word : words) call += std::string(word) + " ";
        const CommandLine line = parse(words);
        EXPECT_EQ(line.action, CommandLine::Action::WrongCall) << call;
        EXPECT_FALSE(line.error.empty()) << call;
    }
    EXPECT_EQ(parse({"-h"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"a.wav", "--version"}).action, CommandLine::Action::Version);
}

// A name that says a sound format gets it, or is refused before any file
// is read; a name that says nothing gets a decode's WAVE.
TEST(CommandLine, OutputNamesSayTheFormat) {
    for (const std::vector<const char*>& words :
         {std::vector<const char*>{"-d", "-o", "x.flac", "a.zarn"}, {"-d", "-o", "x.Wav", "a.zarn"},
          {"-d", "-o", "x", "a.zarn"}, {"-d", "-o", "x.data", "a.zarn"}, {"-d", "-o", "-", "a.zarn"},
          {"-o", "x.zarn", "a.wav"}, {"-o", "dir.wav/x", "a.wav"}, {"-o", "x.txt", "a.wav"}, {"-o", "-", "a.wav"}}) {
        EXPECT_EQ(parse(words).action, CommandLine::Action::Run) << words[2];
    }
    for (const std::vector<const char*>& words :
         {std::vector<const char*>{"-d", "-o", "x.opus", "a.zarn"}, {"-d", "-o", "x.zarn", "a.zarn"},
          {"-o", "x.wav", "a.wav"}, {"-o", "x.MP3", "a.wav"}, {"-o", "x.ogg", "a.wav"}, {"-o", "x.aif", "-"}}) {
        const CommandLine line = parse(words);
        EXPECT_EQ(line.action, CommandLine::Action::WrongCall) << words[words.size() - 2];
        EXPECT_EQ(line.error.rfind(std::string("-o ") + words[words.size() - 2] + ": ", 0), 0u) << line.error;
    }
}

TEST(CommandLine, OutputNames) {
    EXPECT_EQ(defaultOutput("song.wav", Mode::Encode), "song.oza");
    EXPECT_EQ(defaultOutput("song.wav", Mode::Encode, true), "song.zarn");
    EXPECT_EQ(defaultOutput("dir.v2/song", Mode::Encode), "dir.v2/song.oza");
    EXPECT_EQ(defaultOutput("dir/.hidden", Mode::Encode, true), "dir/.hidden.zarn");
    EXPECT_EQ(defaultOutput("a.b.flac", Mode::Encode), "a.b.oza");
    EXPECT_EQ(defaultOutput("song.zarn", Mode::Decode), "song.wav");
    EXPECT_EQ(defaultOutput("-", Mode::Encode), "-");
    EXPECT_EQ(defaultOutput("-", Mode::Decode), "-");
}

// Which encodes write the bare stream the menu programs read.
TEST(CommandLine, BareStreamByOptionOrName) {
    EXPECT_FALSE(writesBareStream(parse({"a.wav"}).options, "a.oza"));
    EXPECT_FALSE(writesBareStream(parse({"a.wav"}).options, "dir.zarn/a"));
    EXPECT_TRUE(writesBareStream(parse({"a.wav"}).options, "a.ZARN"));
    EXPECT_TRUE(writesBareStream(parse({"--raw", "a.wav"}).options, "a.oza"));
    EXPECT_TRUE(writesBareStream(parse({"--full", "a.wav"}).options, "-"));
    EXPECT_TRUE(writesBareStream(parse({"--basic", "a.wav"}).options, ""));
    EXPECT_FALSE(writesBareStream(parse({"--basic", "-b", "256", "a.wav"}).options, ""));
}

// Time as flac takes it: a plain number counts samples, a point or a colon
// makes it a time, and --until's "+" counts from --skip.
TEST(CommandLine, SpansInSamplesOrTime) {
    const CommandLine line = parse({"-d", "--skip", "1:02.5", "--until=+44100", "a.zarn"});
    ASSERT_EQ(line.action, CommandLine::Action::Run) << line.error;
    EXPECT_EQ(line.options.skip->at(48000), 3000000u);
    EXPECT_EQ(line.options.skip->at(8000), 500000u);
    EXPECT_FALSE(line.options.skip->fromSkip);
    EXPECT_EQ(line.options.until->at(8000), 44100u) << "samples are the output's, at any rate";
    EXPECT_TRUE(line.options.until->fromSkip);
    EXPECT_EQ(parse({"--skip=.25", "a.zarn"}).options.skip->at(44100), 11025u);
    EXPECT_EQ(parse({"--skip=3.", "a.zarn"}).options.skip->at(1000), 3000u);
    EXPECT_EQ(parse({"--skip=0:00.0000113", "a.zarn"}).options.skip->at(44100), 0u) << "to the nearest sample";
    EXPECT_EQ(parse({"--skip=7", "a.zarn"}).options.skip->at(1000), 7u);
}

// The default bit rate is over all channels; -b is too.
TEST(CommandLine, BitRatesOverAllChannels) {
    EXPECT_EQ(defaultKbitPerSecond(1), 192u);
    EXPECT_EQ(defaultKbitPerSecond(2), 320u);
    EXPECT_EQ(defaultKbitPerSecond(6), 960u);
    EXPECT_EQ(lowestKbitPerSecond(2), 128u);
    EXPECT_EQ(highestKbitPerSecond(8), 2560u);
    const CommandLine line = parse({"-b", "2560", "--tag", "TITLE=a=b", "--tag=comment=", "a.wav"});
    ASSERT_EQ(line.action, CommandLine::Action::Run) << line.error;
    EXPECT_EQ(line.options.bitrate, 2560);
    EXPECT_TRUE(line.options.bitrateGiven);
    EXPECT_EQ(line.options.tags, (std::vector<std::string>{"TITLE=a=b", "comment="}));
    EXPECT_FALSE(parse({"a.wav"}).options.bitrateGiven);
}

}  // namespace
}  // namespace zarn::cli
