#include "launcher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace orva {

bool StartProgram(const QString& program, const QStringList& arguments, const QString& workingFolder,
                  QString* error) {
  QProcess p;
  p.setProgram(program);
  p.setArguments(arguments);
  p.setWorkingDirectory(workingFolder);
  qint64 pid = 0;
  if (p.startDetached(&pid)) return true;
  if (error) *error = p.errorString();
  return false;
}

bool OpenWithDesktop(const QString& fileOrUrl) {
  const QUrl url = fileOrUrl.contains(QStringLiteral("://")) ? QUrl(fileOrUrl)
                                                             : QUrl::fromLocalFile(QFileInfo(fileOrUrl).absoluteFilePath());
  return QDesktopServices::openUrl(url);
}

}  // namespace orva
