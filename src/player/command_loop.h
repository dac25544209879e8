// The menu: one command word at a time, applied to the player state.
#pragma once
#include <string>

#include "player/player.h"
#include "player/selection.h"

// The menu as printed before each word is read.
std::string MenuText(int loopCount, float startSeconds, float stopSeconds);

// The list printed for "+".
extern const char kMoreCommands[];

// The selection edit a word names, if it names one.
bool EditForWord(const std::string& word, Edit* edit);

// Applies one word to `s`: edits, dialogs, and the action it asks for.
void ApplyWord(PlayerState* s, const std::string& word);

// Shows the menu and applies words until one asks to play or to exit. The end
// of input counts as "x". With `action` already set, the word in
// `commandText` is applied first, without the menu.
void RunCommandLoop(PlayerState* s);
