// The menu: one command word at a time, applied to the session.
#pragma once
#include <string>

#include "io/console.h"
#include "player/session.h"
#include "player/source.h"

// Nothing: a "px" or "wx" given on the command line found nothing to play.
enum class Next { Play, PlayAndEnd, End, Nothing };

// Shows the menu and applies words until one asks to play or to end; the end
// of input counts as "x", and in follow mode a save of the file as "p"
// (`bySave` says so). A `firstWord` is applied once, before any menu.
Next RunMenu(Session* session, Source* source, Console* console, const std::string* firstWord, bool* bySave);

// Whether `word` is one of the menu's words.
bool IsMenuWord(const std::string& word);

// The lines of the '+' list for the words added since its first ten, for --help.
void PrintAddedWords();
