#pragma once
// The local control endpoint of a main window: other programs find a window
// by its class and title, ask whether it exists, and send it "close" (acts
// like a close message) or "quit" (like a quit message).
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace orva {

QString ControlEndpointName(const QString& windowClass, const QString& title);

class ControlEndpoint : public QObject {
  Q_OBJECT
 public:
  ControlEndpoint(const QString& windowClass, const QString& title, QObject* parent = nullptr);
  ~ControlEndpoint() override;
  // Opens the endpoint; false when another live window holds the name.
  bool Open();
  void Close();
  std::function<void()> onClose;
  std::function<void()> onQuit;

 private:
  void Serve(QLocalSocket* socket);
  QString name_;
  QLocalServer* server_ = nullptr;
};

// Client side, for finding and closing another program's window.
// True when a window with that class and title answers.
bool ControlWindowExists(const QString& windowClass, const QString& title, int timeoutMs = 500);
// Sends "close" or "quit"; true when the window took the request.
bool SendControlRequest(const QString& windowClass, const QString& title, const QString& request,
                        int timeoutMs = 1000);

}  // namespace orva
