// Whole sessions, compared with their golden transcripts in golden/.
#include "../harness.h"

namespace {

using Golden = EndToEnd;

TEST_F(Golden, CommandLine) { Transcript("cli.txt"); }
TEST_F(Golden, Menu) { Transcript("menu.txt"); }
TEST_F(Golden, Playback) { Transcript("playback.txt"); }
TEST_F(Golden, Sessions) { Transcript("sessions.txt"); }

}  // namespace
