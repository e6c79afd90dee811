// Loads a plug-in library and finds its entry points.
#pragma once

#include <string>

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool Open(const std::string& path);
  void Close();
  void* Symbol(const char* name) const;
  bool IsOpen() const { return mHandle != nullptr; }
  const std::string& Error() const { return mError; }

 private:
  void* mHandle = nullptr;
  std::string mError;
};
