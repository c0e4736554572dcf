// The two programs as they are run: orva_server starts, answers orva_publish
// through its admin port and ends cleanly on SIGTERM and SIGINT.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <csignal>

namespace {

QString Program(const char* name) { return QStringLiteral(ORVA_PROGRAM_DIR "/") + QString::fromLatin1(name); }
QString Sample(const char* name) { return QStringLiteral(ORVA_SOURCE_DIR "/devnet/samples/") + QString::fromLatin1(name); }

quint16 FreePort() {
  QTcpServer s;
  s.listen(QHostAddress::LocalHost, 0);
  return s.serverPort();
}

struct ProgramRun {
  int code = -1;
  QString out;
};

ProgramRun Publish(const QStringList& args) {
  QProcess p;
  p.start(Program("orva_publish"), args);
  ProgramRun r;
  if (!p.waitForFinished(15000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.code = p.exitCode();
  r.out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
  return r;
}

class ServerProgram : public ::testing::TestWithParam<int> {};

TEST_P(ServerProgram, AnswersThePublisherAndStopsOnSignal) {
  const quint16 port = FreePort(), admin = FreePort();
  QProcess server;
  server.setProcessChannelMode(QProcess::MergedChannels);
  server.start(Program("orva_server"),
               {QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                QString::number(port), QStringLiteral("--admin-port"), QString::number(admin),
                QStringLiteral("--keys"), QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys")});
  ASSERT_TRUE(server.waitForStarted(5000));
  QString log;
  for (int i = 0; i < 100 && !log.contains(QStringLiteral("admin endpoint")); ++i) {
    server.waitForReadyRead(100);
    log += QString::fromUtf8(server.readAll());
  }
  ASSERT_TRUE(log.contains(QStringLiteral("admin endpoint"))) << log.toStdString();

  const QString adminArg = QString::number(admin);
  const ProgramRun status = Publish({QStringLiteral("--admin-port"), adminArg, QStringLiteral("--status")});
  EXPECT_EQ(status.code, 0) << status.out.toStdString();
  EXPECT_TRUE(status.out.contains(QStringLiteral("joined=0 reachable=0 signing=yes")))
      << status.out.toStdString();
  // Signed and ready, but no peer to take it: reported, not a success.
  const ProgramRun quake = Publish({QStringLiteral("--admin-port"), adminArg, Sample("quake_detail.txt")});
  EXPECT_EQ(quake.code, 3) << quake.out.toStdString();
  EXPECT_TRUE(quake.out.contains(QStringLiteral("551 1 "))) << quake.out.toStdString();
  EXPECT_TRUE(quake.out.contains(QStringLiteral("delivered=0"))) << quake.out.toStdString();

  ::kill(static_cast<pid_t>(server.processId()), GetParam());
  ASSERT_TRUE(server.waitForFinished(5000));
  EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server.exitCode(), 0);
  log += QString::fromUtf8(server.readAll());
  EXPECT_TRUE(log.contains(QStringLiteral("stopped"))) << log.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Signals, ServerProgram, ::testing::Values(SIGTERM, SIGINT));

TEST(PublishProgram, ChecksFilesWithoutAServer) {
  const ProgramRun ok = Publish({QStringLiteral("--check"), Sample("tsunami_warning.txt")});
  EXPECT_EQ(ok.code, 0);
  EXPECT_TRUE(ok.out.startsWith(QStringLiteral("552 -津波警報,*宮城県,"))) << ok.out.toStdString();
  const ProgramRun missing = Publish({QStringLiteral("--check"), Sample("no_such_file.txt")});
  EXPECT_EQ(missing.code, 2);
  // Nobody listens on the admin port: a failure, said so.
  const ProgramRun down = Publish({QStringLiteral("--admin-port"), QString::number(FreePort()),
                            QStringLiteral("--timeout"), QStringLiteral("2"), Sample("tsunami_cancel.txt")});
  EXPECT_EQ(down.code, 1);
}

}  // namespace
