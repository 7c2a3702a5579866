// Fills the address map of the export settings from the sources named on
// the command line (a CSV file, a Names.nsf), the way the Advanced settings
// dialog does it in the viewer.
#pragma once
#include <string>

#include "launcher/LauncherOptions.h"

bool LoadAddressSources(LauncherOptions& options, std::string& error);
