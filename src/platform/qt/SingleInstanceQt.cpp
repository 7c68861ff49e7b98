#include "platform/qt/SingleInstanceQt.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include "platform/ByteOrder.h"
#include "platform/Debug.h"

namespace tf {

// ---- The lock holder's server ----------------------------------------------------------------

struct InstanceServer::Connection {
  InstanceFrameDecoder decoder;
};

namespace {

void WriteLE32(QLocalSocket* socket, uint32_t value) {
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  socket->write(bytes, 4);
  socket->flush();
}

}  // namespace

InstanceServer::InstanceServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::Accept);
}

InstanceServer::~InstanceServer() {
  server_->close();
  // The sockets go with this object; their destroyed signals must not reach the map any more.
  for (auto& entry : connections_) QObject::disconnect(entry.first, nullptr, this, nullptr);
}

bool InstanceServer::Listen(const std::string& socketPath) {
  const QString name = QString::fromStdString(socketPath);
  QLocalServer::removeServer(name);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) {
    DebugOutF("InstanceServer: cannot listen at %s (%s)\n", socketPath.c_str(),
              server_->errorString().toUtf8().constData());
    return false;
  }
  return true;
}

void InstanceServer::SetReceiver(OpenFile openFile, Raise raise) {
  openFile_ = std::move(openFile);
  raise_ = std::move(raise);
  ScheduleDelivery();
}

void InstanceServer::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connections_[socket] = std::make_unique<Connection>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this, socket] { connections_.erase(socket); });
    Read(socket);
  }
}

void InstanceServer::Read(QLocalSocket* socket) {
  const auto found = connections_.find(socket);
  if (found == connections_.end()) return;
  Connection* connection = found->second.get();
  const QByteArray bytes = socket->readAll();
  connection->decoder.Feed(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
  for (;;) {
    std::string path;
    const InstanceFrameDecoder::Result result = connection->decoder.Next(path);
    if (result == InstanceFrameDecoder::kNeedMore) break;
    if (result == InstanceFrameDecoder::kBad) {
      ++badFrames_;
      DebugOut("InstanceServer: a bad frame from a later start; connection dropped\n");
      socket->abort();
      return;
    }
    if (result == InstanceFrameDecoder::kQuery) {
      WriteLE32(socket, reply_);
    } else {
      queue_.push_back(Item{socket, result == InstanceFrameDecoder::kRaise, std::move(path)});
      ScheduleDelivery();
    }
  }
}

void InstanceServer::ScheduleDelivery() {
  if (scheduled_ || delivering_ || !openFile_ || queue_.empty()) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    scheduled_ = false;
    Deliver();
  });
}

void InstanceServer::Deliver() {
  // Opening a file may run a nested loop (progress, warnings) in which more frames arrive: they
  // wait in the queue and this loop takes them in order.
  if (delivering_ || !openFile_) return;
  delivering_ = true;
  while (!queue_.empty()) {
    Item item = std::move(queue_.front());
    queue_.pop_front();
    if (item.raise) {
      if (raise_) raise_();
      continue;
    }
    openFile_(item.path);
    if (item.socket && item.socket->state() == QLocalSocket::ConnectedState) WriteLE32(item.socket, kInstancePathAck);
  }
  delivering_ = false;
}

// ---- The later start's side ------------------------------------------------------------------

namespace {

// Reads exactly four bytes within the time left; false on timeout or a closed connection.
bool ReadFour(QLocalSocket& socket, uint32_t& value, int32_t milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (socket.bytesAvailable() < 4) {
    const qint64 left = milliseconds - clock.elapsed();
    if (left <= 0 || socket.state() != QLocalSocket::ConnectedState) return false;
    if (!socket.waitForReadyRead(static_cast<int>(left)) && socket.bytesAvailable() < 4) return false;
  }
  char bytes[4];
  if (socket.read(bytes, 4) != 4) return false;
  value = LoadLE<uint32_t>(reinterpret_cast<const uint8_t*>(bytes));
  return true;
}

bool WriteAll(QLocalSocket& socket, const std::vector<uint8_t>& frame, int32_t milliseconds) {
  if (socket.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size())) !=
      static_cast<qint64>(frame.size())) {
    return false;
  }
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(milliseconds)) return false;
  }
  return true;
}

}  // namespace

QtInstanceHost::QtInstanceHost() = default;

QtInstanceHost::~QtInstanceHost() {
  socket_.reset();
  server_.reset();
  lock_.Release();
}

int32_t QtInstanceHost::TakeInstanceLock() {
  std::string folder;
  if (!InstanceRunFolder(folder)) return -1;
  const std::string stem = folder + "/" + InstanceDisplayName();
  if (socketPath_.empty()) socketPath_ = stem + ".sock";
  const int32_t taken = lock_.Take(stem + ".lock");
  if (taken != 1) return taken;
  // The holder listens right away, so that starts arriving meanwhile are answered once the loop
  // runs (they retry their query meanwhile).
  server_ = std::make_unique<InstanceServer>();
  if (!server_->Listen(socketPath_)) server_.reset();
  return 1;
}

uint32_t QtInstanceHost::QueryRunningInstance() {
  if (socketPath_.empty()) return 0;
  QElapsedTimer clock;
  clock.start();
  const QString name = QString::fromStdString(socketPath_);
  const std::vector<uint8_t> query = EncodeQueryFrame();
  // The holder may not listen yet (it has just taken the lock): try again until the time is up.
  while (clock.elapsed() < queryMilliseconds_) {
    socket_ = std::make_unique<QLocalSocket>();
    socket_->connectToServer(name);
    const int left = static_cast<int>(queryMilliseconds_ - clock.elapsed());
    if (socket_->waitForConnected(std::max(left, 1))) {
      uint32_t reply = 0;
      const int32_t rest = static_cast<int32_t>(queryMilliseconds_ - clock.elapsed());
      if (rest > 0 && WriteAll(*socket_, query, rest) &&
          ReadFour(*socket_, reply, static_cast<int32_t>(queryMilliseconds_ - clock.elapsed()))) {
        return reply;
      }
      // Connected but no answer in time: a hung instance. Give up.
      if (socket_->state() == QLocalSocket::ConnectedState) break;
    }
    socket_.reset();
    QThread::msleep(20);
  }
  socket_.reset();
  DebugOut("QtInstanceHost: the running instance did not answer\n");
  return 0;
}

bool QtInstanceHost::SendPath(const std::string& path) {
  if (!socket_ || socket_->state() != QLocalSocket::ConnectedState) return false;
  std::vector<uint8_t> frame;
  if (!EncodePathFrame(path, frame)) return false;
  uint32_t ack = 0;
  if (!WriteAll(*socket_, frame, ackMilliseconds_) || !ReadFour(*socket_, ack, ackMilliseconds_) ||
      ack != kInstancePathAck) {
    socket_.reset();
    return false;
  }
  return true;
}

void QtInstanceHost::AskToRaise() {
  if (!socket_) return;
  if (socket_->state() == QLocalSocket::ConnectedState) {
    WriteAll(*socket_, EncodeRaiseFrame(), 1000);
    socket_->disconnectFromServer();
  }
  socket_.reset();
}

void QtInstanceHost::ReleaseInstanceLock() {
  server_.reset();
  lock_.Release();
}

}  // namespace tf
