// A headless client joins the development server and leaves again.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace {

const QString kServerAddress = QStringLiteral("127.0.0.60");
const QString kClientAddress = QStringLiteral("127.0.0.61");

QString Program(const char* name) { return QStringLiteral(ORVA_PROGRAM_DIR "/") + QLatin1String(name); }

class Output {
 public:
  explicit Output(QProcess& p) : p_(p) {}
  bool WaitFor(const QString& text, int ms = 15000) {
    QElapsedTimer t;
    t.start();
    while (!Text().contains(text) && t.elapsed() < ms) p_.waitForReadyRead(100);
    return Text().contains(text);
  }
  QString Text() {
    all_ += p_.readAllStandardOutput();
    return QString::fromUtf8(all_);
  }

 private:
  QProcess& p_;
  QByteArray all_;
};

}  // namespace

TEST(JoinLeave, HeadlessClientJoinsTheDevelopmentServerAndLeavesOnSigterm) {
  QProcess server;
  server.setProcessChannelMode(QProcess::MergedChannels);
  server.start(Program("orva_server"),
               {QStringLiteral("--bind"), kServerAddress, QStringLiteral("--admin-port"), QStringLiteral("0"),
                QStringLiteral("--keys"), QStringLiteral(ORVA_SOURCE_DIR "/devnet/keys")});
  ASSERT_TRUE(server.waitForStarted());
  Output serverOut(server);

  QTemporaryDir folder;
  QProcess client;
  client.start(Program("Orva_Client"),
               {QStringLiteral("--headless"), QStringLiteral("--folder"), folder.path(), QStringLiteral("--servers"),
                kServerAddress, QStringLiteral("--bind"), kClientAddress});
  ASSERT_TRUE(client.waitForStarted());
  Output clientOut(client);
  ASSERT_TRUE(clientOut.WaitFor(QStringLiteral("参加処理が完了しました"))) << clientOut.Text().toStdString();
  EXPECT_TRUE(clientOut.Text().contains(QStringLiteral("鍵が割り当てられました")));

  ::kill(static_cast<pid_t>(client.processId()), SIGTERM);
  ASSERT_TRUE(client.waitForFinished(15000));
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client.exitCode(), 0);
  EXPECT_TRUE(clientOut.Text().contains(QStringLiteral("参加終了処理が完了しました"))) << clientOut.Text().toStdString();
  EXPECT_TRUE(serverOut.WaitFor(QStringLiteral("left"), 5000)) << serverOut.Text().toStdString();

  server.terminate();
  ASSERT_TRUE(server.waitForFinished(10000));
}
