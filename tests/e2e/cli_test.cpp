// The command line, the file prompt, refusals and device errors.
#include "fixture.h"

namespace {

const char kPrompt[] = "\nEnter the name of .wav file, 'h' for help, or 'x' to exit: \n";
const char kSecondPrompt[] = "\nEnter the name of .wav file or 'x' to exit: \n";
const char kHelp[] =
    "Zuvaroza 1.07 (2q) by Varadez\n"
    "\nThis program will play mono or stereo, 16 or 24 bit wave files.\n"
    "You will be able to play the entire file or set start and stop points.\n"
    "Press 'enter' after your choices.\n"
    "\nSound will be sent to the default alsa soundcard unless you enter a device name\n"
    "such as plughw:0,0 as the first argument when you first run the application.\n"
    "For example, zuvaroza plughw:0,0\n"
    "\nAdditional Command Line Arguments:\n\n"
    "These are optional, but if you need argument 3 for example,\n"
    "you need to enter arguments 1 and 2 as well.\n\n"
    "The name of the wavefile is the 2nd argument.\n"
    "In this case, you may wish to use the shortcut 'd' for the first argument\n"
    "to use the default soundcard. For example, zuvaroza d song1.wav\n\n"
    "The 3rd argument is the start time\n\n"
    "The 4th argument is the stop time\n\n"
    "Adding a 5th argument will skip the first interactive dialog and use the\n"
    "5th argument as the command.  So, entering 'p' will start playback immediately.\n\n"
    "'px' will play once or the set number of loops and exit.\n\n"
    "'w' will overwrite the in and out times and play the whole file.\n\n"
    "'wx' will play the whole file once or the set number of loops and exit.\n\n"
    "The 6th argument can set the number of loops, 1 = play once\n";

using Cli = EndToEnd;

TEST_F(Cli, HelpAtThePrompt) {
  Outcome o = RunZuvaroza({"null"}, "h\nx\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, std::string(kPrompt) + kHelp + kSecondPrompt);
  EXPECT_EQ(RunZuvaroza({}, "x\n").out, kPrompt);
}

TEST_F(Cli, HelpAndVersionOptions) {
  for (const char* option : {"--help", "-h"}) {
    Outcome o = RunZuvaroza({option});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, std::string(kHelp) +
                         "Usage: zuvaroza [-f|--follow] [DEVICE|d] [FILE [START [STOP [COMMAND [LOOPS]]]]]\n");
  }
  Outcome o = RunZuvaroza({"--version"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "zuvaroza 1.07\n");
  WaveLayout w;
  w.data = Ramp(400);
  const std::string file = Write("a.wav", WaveFile(w));
  // options come before the first positional argument; "--" ends them
  o = RunZuvaroza({"-f", "--version", "null", file});
  EXPECT_EQ(o.out, "zuvaroza 1.07\n");
  o = RunZuvaroza({"--", "--help", file});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "unable to open pcm device: No such file or directory\n");
  o = RunZuvaroza({"null", "--help"}, "x\n");  // a file name there
  EXPECT_EQ(o.status, 2);
  o = RunZuvaroza({"--fellow", "null", file});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Unknown option: --fellow\n");
}

TEST_F(Cli, EndOfInputAtEitherPromptEndsWithStatusOne) {
  EXPECT_EQ(RunZuvaroza({}, "").status, 1);
  EXPECT_EQ(RunZuvaroza({"null"}, "h\n").status, 1);
}

TEST_F(Cli, FileProblemsEndWithStatusTwo) {
  Outcome o = RunZuvaroza({"null", Path("absent.wav")});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "The file called " + Path("absent.wav") + " cannot be found!\n");

  o = RunZuvaroza({"null"}, Path("absent.wav") + "\n");  // the same from the prompt
  EXPECT_EQ(o.status, 2);

  WaveLayout w;
  Bytes noData = WaveFile(w);
  noData.resize(36);
  o = RunZuvaroza({"null", Write("nodata.wav", noData)});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "Can't find data block in wave file!\n");

  o = RunZuvaroza({"null", Write("empty.wav", {})});
  EXPECT_EQ(o.out, "Can't find format chunk in wave file!\nCan't find data block in wave file!\n");
  EXPECT_EQ(o.status, 2);
}

TEST_F(Cli, RefusedFormatsNeverReachTheDevice) {
  const struct {
    uint16_t format, channels, bits;
    const char* line;
    int32_t blockAlign = -1;
  } kCases[] = {
      {1, 3, 16, "Unsupported wave file: 3 channels (mono and stereo play).\n"},
      {1, 0, 16, "Unsupported wave file: 0 channels (mono and stereo play).\n"},
      {1, 2, 12, "Unsupported wave file: 12-bit samples in format 1.\n"},
      {1, 2, 4, "Unsupported wave file: 4-bit samples in format 1.\n"},
      {2, 1, 16, "Unsupported wave file: 16-bit samples in format 2.\n"},
      {1, 2, 24, "Unsupported wave file: a block align of 10 (5-byte samples).\n", 10},
  };
  for (const auto& c : kCases) {
    WaveLayout w;
    w.format = c.format;
    w.channels = c.channels;
    w.bits = c.bits;
    w.blockAlign = c.blockAlign;
    w.data = Ramp(64);
    Outcome o = RunZuvaroza({Capture("out.raw"), Write("odd.wav", WaveFile(w)), "0", "0", "px"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, c.line);
    EXPECT_FALSE(std::ifstream(Path("out.raw")).good()) << "the device was opened";
  }
  Bytes noFmt;
  Put(&noFmt, "RIFF");
  Put(&noFmt, 16, 4);
  Put(&noFmt, "WAVEdata");
  Put(&noFmt, 4, 4);
  Put(&noFmt, "abcd");
  Outcome o = RunZuvaroza({"null", Write("nofmt.wav", noFmt)});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "Can't find format chunk in wave file!\nUnsupported wave file: no format chunk.\n");
}

TEST_F(Cli, ClosedStandardInputIsTheEndOfInput) {
  WaveLayout w;
  w.data = Ramp(400);
  Write("a.wav", WaveFile(w));
  Shell("'" ZUVAROZA_BIN "' \"file:'out.raw',raw\" a.wav <&- >out.txt");
  EXPECT_EQ(Read("out.raw").size(), 0u);  // the wave file was never read as commands
}

TEST_F(Cli, DeviceThatCannotBeOpened) {
  WaveLayout w;
  w.data = Ramp(400);
  Outcome o = RunZuvaroza({"no-such-device", Write("a.wav", WaveFile(w)), "0", "0", "px"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err.rfind("unable to open pcm device: ", 0), 0u) << o.err;
  EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1);
}

TEST_F(Cli, SetUpAndReleaseOnTheNullDevice) {
  WaveLayout w;
  w.data = Ramp(400);
  const std::string name(5000, 'n');  // long words are kept whole, never overrun
  Outcome o = RunZuvaroza({"null", Write("a.wav", WaveFile(w)), "0", "0", "x"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "\n");
  o = RunZuvaroza({"d" + name, Path("a.wav"), "nan", "inf", "x"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("unable to open pcm device"), std::string::npos);
}

}  // namespace
