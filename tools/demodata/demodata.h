#pragma once

#include <string>

// Writes the demo data folder into folder (created if missing): "Data\MegaFiles.xml", the
// archives it lists and a few loose files that override archived ones. Returns false, with a
// reason in error, when something cannot be written.
bool writeDemoData(const std::string& folder, std::string& error);
