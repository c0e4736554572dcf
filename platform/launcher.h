#pragma once
// Starting programs and opening files or addresses with the desktop.
#include <QString>
#include <QStringList>

namespace orva {

// Starts `program` detached with `arguments` in `workingFolder`; false with
// `error` set when it could not be started.
bool StartProgram(const QString& program, const QStringList& arguments, const QString& workingFolder,
                  QString* error = nullptr);

// Opens a file or address with the desktop's default handler.
bool OpenWithDesktop(const QString& fileOrUrl);

}  // namespace orva
