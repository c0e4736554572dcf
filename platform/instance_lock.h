#pragma once
// One running copy per program and program folder.
#include <QString>

#include <memory>

class QLockFile;

namespace orva {

class InstanceLock {
 public:
  // `program` names the program ("Orva_Client"); `programFolder` the folder
  // it runs from. Two folders are two programs.
  InstanceLock(const QString& program, const QString& programFolder);
  ~InstanceLock();
  // True when this object now holds the lock; false when another copy does.
  bool TryAcquire();
  QString LockPath() const { return path_; }

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace orva
