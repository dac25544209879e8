#pragma once

// Prints the help text shown at the file prompt.
void Help();
