#pragma once

class QApplication;

// Everything the application sets once before its first window: its names, its icon and its
// Chinese environment.
void setUpApplication(QApplication &app);
