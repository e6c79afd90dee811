// Settings in a private-profile (INI) file: sections of key=value lines.
// Windows uses the system's own functions; elsewhere a reader/writer of ours
// keeps the same file format and rules.
#pragma once

#include <string>

// The value of key in section, or def when the file, section or key is missing.
// At most size - 1 characters are returned.
std::string ReadProfileValue(const std::string& path, const char* section, const char* key, const char* def,
                              int size);

// Sets key to value in section, creating file and section as needed. A null
// value removes the key; a null key removes the whole section. False when the
// file cannot be written.
bool WriteProfileValue(const std::string& path, const char* section, const char* key, const char* value);
