// Folders for files the plug-in writes: the per-user settings folder, and
// whether a folder takes new files at all (plug-ins are often installed
// where ordinary users cannot write).
#pragma once

#include <string>

// The user's own settings folder (the application-data folder on Windows,
// $XDG_CONFIG_HOME or ~/.config elsewhere), ending in the platform's
// separator; empty when the system names none.
std::string UserConfigFolder();

// The platform's path separator.
char PathSeparator();

// Creates folder and any missing parents. True when it exists afterwards.
bool MakeFolders(const std::string& folder);

// True when a new file can be created in folder: tried with a probe file,
// which is removed again, since permissions alone do not tell (read-only
// mounts, access lists, an administrator's rights).
bool FolderWritable(const std::string& folder);
