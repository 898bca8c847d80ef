#pragma once

#include <string>
#include <vector>

/// The file names in folder, hidden ones included, sorted.
std::vector<std::string> filesIn(const std::string& folder);
/// A fresh, empty folder for one test under the system's temporary folder.
std::string freshFolder(const std::string& name);
/// The whole contents of the file at path, as bytes; empty when it cannot be read.
std::string fileText(const std::string& path);
