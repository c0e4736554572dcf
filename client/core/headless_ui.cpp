#include "headless_ui.h"

#include <QCoreApplication>

#include <cstdio>

namespace orva {

void PrintLine(const QString& line) {
  const QByteArray bytes = line.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

HeadlessUi::HeadlessUi(ClientNode& node) : node_(node) {}

void HeadlessUi::Attach() {
  NodeUi& ui = node_.Context().ui;
  ui.boxes = this;
  ui.windows = this;
  ui.tray = this;
  ui.menus = this;
}

BoxAnswer HeadlessUi::Show(const QString& text, BoxIcon, BoxButtons, BoxAnswer defaultAnswer) {
  QString flat = text;
  flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  const char* answer = defaultAnswer == BoxAnswer::Yes ? "Yes" : defaultAnswer == BoxAnswer::No ? "No"
                       : defaultAnswer == BoxAnswer::Cancel ? "Cancel" : "OK";
  PrintLine(QStringLiteral("[message] ") + flat + QStringLiteral(" -> ") + QLatin1String(answer));
  return defaultAnswer;
}

void HeadlessUi::EndProgram(int exitCode) { QCoreApplication::exit(exitCode); }

}  // namespace orva
