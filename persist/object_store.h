// OBJSTORE: the folder that holds the program's settings files, form files
// and rendered images, and the rule that turns a stored file name into a
// path. Stored names use "\" as the separator; a name that starts with "/"
// or whose second character is ":" is used unchanged.
#pragma once

#include <string>

namespace brevoxa {

// The OBJSTORE folder: the one set last, else $BREVOXA_STORE, else the
// folder "OBJSTORE" beside the running program.
std::string ObjectStoreDir();
void SetObjectStoreDir(const std::string& dir);

// The full path of a stored file name: empty for an empty name; the name
// unchanged when it is absolute; otherwise OBJSTORE joined with the name,
// every "\" becoming "/". Letter case is kept as stored.
std::string StoredNamePath(const std::string& name);

// Sets the OBJSTORE folder for the lifetime of the scope (tests).
class ScopedObjectStore {
 public:
  explicit ScopedObjectStore(const std::string& dir);
  ~ScopedObjectStore();
  ScopedObjectStore(const ScopedObjectStore&) = delete;
  ScopedObjectStore& operator=(const ScopedObjectStore&) = delete;

 private:
  std::string previous_;
  bool hadPrevious_;
};

// A small value holding one bare file name that can also give its path.
// It persists as that one string.
class CFileName {
 public:
  CFileName() = default;
  explicit CFileName(std::string name) : name_(std::move(name)) {}

  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  std::string GetFullPath() const { return StoredNamePath(name_); }
  bool operator==(const CFileName&) const = default;

 private:
  std::string name_;
};

}  // namespace brevoxa
