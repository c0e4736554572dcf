#include "runtime_folder.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace orva {

QString RuntimeFolder() {
  QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (dir.isEmpty() || !QFileInfo(dir).isDir())
    dir = QDir::tempPath() + QStringLiteral("/orva-runtime-%1").arg(::getuid());
  if (!QFileInfo(dir).isDir()) {
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  return dir;
}

}  // namespace orva
