#include "app/help.h"

#include <cstdio>

#include "player/menu.h"

void Help() {
  static const char* const kLines[] = {
      "Zuvaroza " ZUVAROZA_VERSION " (2q) by Varadez",
      "\nThis program will play mono or stereo, 16 or 24 bit wave files.",
      "You will be able to play the entire file or set start and stop points.",
      "Press 'enter' after your choices.",
      "\nSound will be sent to the default alsa soundcard unless you enter a device name\n"
      "such as plughw:0,0 as the first argument when you first run the application.\n"
      "For example, zuvaroza plughw:0,0",
      "\nAdditional Command Line Arguments:\n",
      "These are optional, but if you need argument 3 for example,\n"
      "you need to enter arguments 1 and 2 as well.\n",
      "The name of the wavefile is the 2nd argument.\n"
      "In this case, you may wish to use the shortcut 'd' for the first argument\n"
      "to use the default soundcard. For example, zuvaroza d song1.wav\n",
      "The 3rd argument is the start time\n",
      "The 4th argument is the stop time\n",
      "Adding a 5th argument will skip the first interactive dialog and use the\n"
      "5th argument as the command.  So, entering 'p' will start playback immediately.\n\n"
      "'px' will play once or the set number of loops and exit.\n\n"
      "'w' will overwrite the in and out times and play the whole file.\n\n"
      "'wx' will play the whole file once or the set number of loops and exit.\n",
      "The 6th argument can set the number of loops, 1 = play once",
  };
  for (const char* line : kLines) std::puts(line);
}

void MoreHelp() {
  std::puts(
      "\nOptions, before the device:\n"
      "\t'-f' or '--follow' to start with follow mode on\n"
      "\t'-a' or '--audition' to start with audition mode on\n"
      "\t'-L' or '--list-devices' to list the playback devices\n"
      "\t'-h' or '--help' to show this help\n"
      "\t'--version' to show the version\n"
      "\nMenu commands added since ('+' shows them all):");
  PrintAddedWords();
  std::puts("\nAt the 'i' and 'o' prompts, a number ending in 's' is a count of frames, as sox writes it: 96038s\n"
            "So is the 3rd or 4th argument: zuvaroza d song.wav 96038s 192038s px\n"
            "The 5th argument is one of the menu's words, and the 6th is the last.\n");
}

void Usage() {
  std::puts("Usage: zuvaroza [-f|--follow] [-a|--audition] [DEVICE|d] [FILE [START [STOP [COMMAND [LOOPS]]]]]\n"
            "       zuvaroza -L|--list-devices | -h|--help | --version");
}

void Version() { std::puts("zuvaroza " ZUVAROZA_VERSION); }
