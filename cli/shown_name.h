#pragma once

// A file name as velmora-cli prints it on a line of text: control
// characters (a newline, a tab, an escape sequence) are shown as \xNN and a
// backslash as \\, so one line always stays one file and no name can move
// the terminal's cursor.

#include <string>

std::string ShownName(const std::string& name);
