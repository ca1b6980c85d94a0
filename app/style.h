#pragma once

class QApplication;

// The look every window of the console shares: password fields show "*" for
// each character, whatever the platform's style would show.
void InstallConsoleStyle(QApplication& app);
