#pragma once

class QApplication;

namespace mok {

// Names, fonts and settings format shared by the program and its tests.
void PrepareApplication(QApplication& app);

// Starts the program: the main window and the event loop.
int RunMokrin(int argc, char** argv);

}  // namespace mok
