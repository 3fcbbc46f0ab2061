#pragma once

#include "ui/prefs/RTAboutWindow.h"

// The libraries the talvo program is linked with, as the running program finds them,
// for the About window.
QList<RTAboutWindow::Library> talvoLibraryVersions();
