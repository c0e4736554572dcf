#include "timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace orva {

quint32 TickCount() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return static_cast<quint32>(clock.elapsed());
}

void ProcessEventsAndSleep(int sleepMs) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (sleepMs > 0) QThread::msleep(static_cast<unsigned long>(sleepMs));
}

void WaitMs(int ms) {
  const quint32 start = TickCount();
  do {
    ProcessEventsAndSleep(10);
  } while (static_cast<qint64>(TickCount() - start) < ms);
}

}  // namespace orva
