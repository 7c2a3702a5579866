#include "launcher/AddressSources.h"

bool LoadAddressSources(LauncherOptions& options, std::string& error) {
    if (!options.csvPath.empty() || !options.namesPath.empty()) {
        error = "--csv and --names are not available in this build";
        return false;
    }
    return true;
}
