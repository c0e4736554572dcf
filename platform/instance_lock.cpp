#include "instance_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include "runtime_folder.h"

namespace orva {

InstanceLock::InstanceLock(const QString& program, const QString& programFolder) {
  const QString canonical = QFileInfo(programFolder).absoluteFilePath();
  const QByteArray hash =
      QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  path_ = RuntimeFolder() + QLatin1Char('/') + program + QLatin1Char('-') +
          QString::fromLatin1(hash) + QStringLiteral(".lock");
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::TryAcquire() {
  if (lock_ && lock_->isLocked()) return true;
  lock_ = std::make_unique<QLockFile>(path_);
  // Stale only when the holder's process is gone; a crashed copy's lock is
  // then taken over by tryLock itself.
  lock_->setStaleLockTime(0);
  return lock_->tryLock(0);
}

}  // namespace orva
