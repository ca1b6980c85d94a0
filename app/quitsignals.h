// SIGTERM, SIGHUP and SIGINT (kill, logout, a closed terminal, Ctrl+C) end
// the console as closing its window does: settings saved, log files flushed
// and closed, connections closed, exit status 0.
#pragma once

class QWidget;

// Call once, with the application made and before its event loop runs. A
// signal the console was started with ignored (nohup) stays ignored.
void CloseOnSignals(QWidget& window);
