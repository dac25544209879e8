// The menu: one command word at a time, applied to the session, as the loop
// reads them. A word may ask for a number (the next word answers it), play,
// or end the run.
#pragma once
#include "player/run.h"

// Enters the menu: the word given in advance first, then a save latched
// meanwhile in follow mode, or the menu shown.
void EnterMenu(Run* run);

// Applies the words standard input holds while the menu takes them, or an
// audition plays (where Enter alone stops it); the end of input ends the run
// as "x" does.
void TakeWords(Run* run);

// In follow mode a save plays the selection as "p" does; at a number prompt
// it waits until the prompt is answered.
void MenuOnWatch(Run* run);

// Turns follow mode on, or says why it cannot be.
void FollowSaves(Run* run);

// Turns audition mode on, and says so.
void StartAudition(Run* run);

// Whether `word` is one of the menu's words.
bool IsMenuWord(const std::string& word);

// Whether `word` is one of the menu's words.
bool IsMenuWord(const std::string& word);

// The lines of the '+' list for the words added since its first ten, for --help.
void PrintAddedWords();
