// Runs the real Orva_Client program headless.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace {

QString Program() { return QStringLiteral(ORVA_PROGRAM_DIR "/Orva_Client"); }

// Waits until the process printed `text` on standard output.
bool WaitForOutput(QProcess& p, QByteArray& out, const QByteArray& text, int ms = 10000) {
  QElapsedTimer t;
  t.start();
  while (!out.contains(text) && t.elapsed() < ms) {
    p.waitForReadyRead(100);
    out += p.readAllStandardOutput();
  }
  return out.contains(text);
}

}  // namespace

TEST(Program, HeadlessRunsEndsOnSigtermAndRefusesASecondCopy) {
  QTemporaryDir folder;
  QProcess first;
  first.start(Program(), {QStringLiteral("--headless"), QStringLiteral("--folder"), folder.path(),
                          QStringLiteral("--servers"), QStringLiteral("127.0.0.1")});
  ASSERT_TRUE(first.waitForStarted());
  QByteArray out;
  ASSERT_TRUE(WaitForOutput(first, out, "Orvalis Beta3(Rev11)"));
  // The program title is the first entry.
  EXPECT_TRUE(out.left(out.indexOf('\n')).endsWith("|Orvalis Beta3(Rev11)")) << out.constData();

  QProcess second;
  second.start(Program(), {QStringLiteral("--headless"), QStringLiteral("--folder"), folder.path()});
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  const QString secondOut = QString::fromUtf8(second.readAllStandardOutput());
  EXPECT_TRUE(secondOut.contains(QStringLiteral("ソフトウェアは既に起動されています。"))) << secondOut.toStdString();

  ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
  ASSERT_TRUE(first.waitForFinished(15000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  // Headless start-up never writes a settings file.
  EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("Orva_Client.ini"))));
}

TEST(Program, BadCommandLineIsRefusedWithAMessage) {
  QProcess p;
  p.start(Program(), {QStringLiteral("--headless"), QStringLiteral("--folder")});
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_TRUE(p.readAllStandardError().contains("--folder needs a value"));
}
