// The texts that describe the program: help, usage and version.
#pragma once

// The help text shown at the file prompt and by --help.
void Help();

// The usage lines, as --help ends.
void Usage();

// "zuvaroza VERSION", for --version.
void Version();
