// The single-instance rule on Qt: the lock holder's local server, and the later start's side of
// the conversation over a local socket.
#pragma once
#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/SingleInstance.h"

class QLocalServer;
class QLocalSocket;

namespace tf {

// Listens beside the lock; answers the query at once and hands each path received to the receiver
// (in the order received), acknowledging it once the receiver returned. Until a receiver is set,
// paths wait in the queue; a bad frame drops its connection.
class InstanceServer final : public QObject {
  Q_OBJECT

 public:
  using OpenFile = std::function<void(const std::string& path)>;
  using Raise = std::function<void()>;

  explicit InstanceServer(QObject* parent = nullptr);
  ~InstanceServer() override;
  // Removes a stale socket (only the lock holder calls this) and listens at the path.
  bool Listen(const std::string& socketPath);
  void SetReply(uint32_t reply) { reply_ = reply; }
  // Paths and raise requests waiting so far are delivered from the event loop.
  void SetReceiver(OpenFile openFile, Raise raise);
  // Connections dropped for a bad frame (tests).
  int BadFrames() const { return badFrames_; }

 private:
  struct Connection;
  struct Item {
    QPointer<QLocalSocket> socket;
    bool raise = false;
    std::string path;
  };
  void Accept();
  void Read(QLocalSocket* socket);
  void ScheduleDelivery();
  void Deliver();

  QLocalServer* server_ = nullptr;
  std::unordered_map<QObject*, std::unique_ptr<Connection>> connections_;
  uint32_t reply_ = kInstanceReplyNormal;
  OpenFile openFile_;
  Raise raise_;
  std::deque<Item> queue_;
  bool delivering_ = false;
  bool scheduled_ = false;
  int badFrames_ = 0;
};

// The InstanceHost of the program: the lock in the run folder; the holder listens at once.
class QtInstanceHost final : public InstanceHost {
 public:
  QtInstanceHost();
  ~QtInstanceHost() override;

  int32_t TakeInstanceLock() override;
  uint32_t QueryRunningInstance() override;
  bool SendPath(const std::string& path) override;
  void AskToRaise() override;
  void ReleaseInstanceLock() override;

  // The server of the lock holder (null otherwise).
  InstanceServer* Server() { return server_.get(); }
  // Where the lock and the socket are (empty before TakeInstanceLock found the folder).
  const std::string& SocketPath() const { return socketPath_; }
  // Tests: the socket to talk to, and shorter waits.
  void SetSocketPath(const std::string& path) { socketPath_ = path; }
  void SetQueryMilliseconds(int32_t ms) { queryMilliseconds_ = ms; }
  void SetAckMilliseconds(int32_t ms) { ackMilliseconds_ = ms; }

 private:
  InstanceLock lock_;
  std::unique_ptr<InstanceServer> server_;
  std::unique_ptr<QLocalSocket> socket_;
  std::string socketPath_;
  int32_t queryMilliseconds_ = kInstanceQueryMilliseconds;
  // Opening a large document takes a while; a path not acknowledged in this time is opened here.
  int32_t ackMilliseconds_ = 120000;
};

}  // namespace tf
