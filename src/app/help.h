// The texts that describe the program: help, usage and version.
#pragma once

// The help text shown at the file prompt and by --help.
void Help();

// What --help adds to the help text: the options, the menu's words added
// since, how a frame count is typed, and what the 5th and 6th arguments may be.
void MoreHelp();

// The usage lines, as --help ends.
void Usage();

// "zuvaroza VERSION", for --version.
void Version();
