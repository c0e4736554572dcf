// Orva_Client: the client program.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

#include "client/core/client_node.h"
#include "client/core/client_wiring.h"
#include "client/core/headless_ui.h"
#include "client/core/main_window.h"
#include "client/quake/bulletin_widgets.h"
#include "client/quake/quake_assets.h"
#include "platform/termination.h"

namespace {

struct CommandLine {
  bool headless = false;
  bool logStdout = false;
  QString folder;
  QStringList servers;
  QString bind;
  QString error;
};

CommandLine Parse(const QStringList& args) {
  CommandLine c;
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&](const char* name) -> QString {
      if (i + 1 >= args.size()) {
        c.error = QStringLiteral("%1 needs a value").arg(QLatin1String(name));
        return {};
      }
      return args[++i];
    };
    if (a == QLatin1String("--headless")) c.headless = true;
    else if (a == QLatin1String("--log-stdout")) c.logStdout = true;
    else if (a == QLatin1String("--folder")) c.folder = value("--folder");
    else if (a == QLatin1String("--servers")) c.servers = value("--servers").split(QLatin1Char(','), Qt::SkipEmptyParts);
    else if (a == QLatin1String("--bind")) c.bind = value("--bind");
    else c.error = QStringLiteral("unknown option: ") + a;
  }
  return c;
}

bool WantsHeadless(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--headless") == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const bool headless = WantsHeadless(argc, argv);
  std::unique_ptr<QCoreApplication> app;
  if (headless) app = std::make_unique<QCoreApplication>(argc, argv);
  else app = std::make_unique<QApplication>(argc, argv);

  const CommandLine cmd = Parse(QCoreApplication::arguments());
  if (!cmd.error.isEmpty()) {
    std::fprintf(stderr, "Orva_Client: %s\n", cmd.error.toLocal8Bit().constData());
    std::fprintf(stderr, "usage: Orva_Client [--headless] [--log-stdout] [--folder DIR] "
                         "[--servers HOST[,HOST...]] [--bind ADDR]\n");
    return 2;
  }

  orva::NodeOptions options;
  options.headless = headless;
  options.programFolder = cmd.folder.isEmpty() ? QCoreApplication::applicationDirPath()
                                               : QFileInfo(cmd.folder).absoluteFilePath();
  if (!QFileInfo(options.programFolder).isDir()) {
    std::fprintf(stderr, "Orva_Client: no such folder: %s\n", options.programFolder.toLocal8Bit().constData());
    return 2;
  }
  options.servers = cmd.servers;
  options.bindAddress = cmd.bind;

  orva::ClientNode node(options);
  orva::ClientWiring wiring(node);
  if (headless || cmd.logStdout)
    node.Context().log.SetEcho([](const QString& line) { orva::PrintLine(line); });

  std::unique_ptr<orva::HeadlessUi> headlessUi;
  std::unique_ptr<orva::MainWindow> window;
  std::unique_ptr<orva::quake::BulletinWidgets> bulletins;
  if (headless) {
    headlessUi = std::make_unique<orva::HeadlessUi>(node);
    headlessUi->Attach();
  } else {
    window = std::make_unique<orva::MainWindow>(node);
    window->Attach();
    bulletins = std::make_unique<orva::quake::BulletinWidgets>(wiring.Assets());
    bulletins->boxes = window.get();
    bulletins->applicationTitle = orva::ClientNode::WindowTitle();
    wiring.AttachScreens(bulletins.get(), bulletins.get());
    window->unloadSecondaryWindows = [&bulletins] { bulletins->Unload(); };
  }
  // A signal from the system closes the program like any close that does
  // not come from the close box; a second one ends it at once.
  orva::OnTerminationSignal([&node] {
    if (node.Context().life.quitState != 0) node.Exit();
    else node.CloseRequested(false);
  });

  node.Startup();
  if (node.Ended()) return node.ExitCode();
  return app->exec();
}
