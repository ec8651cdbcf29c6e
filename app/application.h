#pragma once

#include <span>
#include <string>
#include <vector>

#include "codec/text_types.h"

class QApplication;

namespace mok {

class CommandHost;

// Names, fonts and settings format shared by the program and its tests.
void PrepareApplication(QApplication& app);

// The words of the command line after the program's name, Qt's own options
// taken out: the first file name opens as the original state, as "打开作原始"
// opens a file (a relative name within folder, resolved as the kernel resolves
// it, symbolic links and all; the format detected). A word
// starting with "-" is an option, and the program has none, unless it follows
// "--". Nothing is asked. Returns one line for each word left unused.
[[nodiscard]] std::vector<std::string> OpenStartFile(CommandHost& host, std::span<const std::string> words,
                                                     TextView folder);

// Starts the program: the main window, the file named on the command line,
// and the event loop.
int RunMokrin(int argc, char** argv);

}  // namespace mok
