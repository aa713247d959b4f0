#include "ui/SingleInstance.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <span>

#include "input/SingleInstance.h"
#include "platform/Folders.h"

namespace pixolan::ui {

namespace {

// A sender that connects and then sends nothing is dropped after this long; its own
// timeout is shorter.
constexpr int kReceiveTimeoutMs = 10000;
// Bytes read from a connection at a time, so that memory follows the announced size.
constexpr qint64 kReadChunk = 64 * 1024;

// The rule "one receiver per process" is about the process, so its mark lives beside the
// objects; only construction and destruction touch it.
std::atomic<bool> gServerExists{false};

class TServerSlot {
 public:
  TServerSlot() {
    if (gServerExists.exchange(true))
      throw EInstanceServerError("Nur ein TInstanceServer-Objekt m\xC3\xB6glich");
  }
  ~TServerSlot() { gServerExists = false; }
  TServerSlot(const TServerSlot&) = delete;
  TServerSlot& operator=(const TServerSlot&) = delete;
};

std::span<const uint8_t> Bytes(const QByteArray& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

bool OwnUser(QLocalSocket& socket) {
  const std::optional<uid_t> peer = input::PeerUserId(int(socket.socketDescriptor()));
  return peer && *peer == ::geteuid();
}

// One message on its way in.
struct TIncoming {
  std::vector<uint8_t> Bytes;
  bool Complete = false;
};

// A whole message waiting for the handler.
struct TMessage {
  QPointer<QLocalSocket> Socket;
  std::vector<std::string> Arguments;
};

}  // namespace

std::string InstanceServerPath() {
  std::error_code error;
  std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
  if (error || program.empty())
    program = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
  return input::InstanceServerPath(program, ::geteuid(), platform::ProcessEnvironment());
}

bool ForwardToRunningInstance(const std::vector<std::string>& arguments, int timeoutMs) {
  if (arguments.empty()) return false;
  return ForwardToRunningInstance(InstanceServerPath(), arguments, timeoutMs);
}

bool ForwardToRunningInstance(const std::string& serverPath,
                              const std::vector<std::string>& arguments, int timeoutMs) {
  if (arguments.empty()) return false;
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  if (error) return false;  // relative paths could not be resolved over there either
  std::vector<uint8_t> message;
  try {
    message = input::EncodeForwardMessage({folder.string(), arguments});
  } catch (const input::EForwardMessageError&) {
    return false;
  }

  const QDeadlineTimer deadline(std::max(0, timeoutMs));
  const auto left = [&deadline] { return int(std::max<qint64>(0, deadline.remainingTime())); };
  QLocalSocket socket;
  socket.connectToServer(QFile::decodeName(QByteArray::fromStdString(serverPath)));
  if (!socket.waitForConnected(left())) return false;
  // Another user's socket at the name gets neither the paths nor the power to end us.
  if (!OwnUser(socket)) return false;
  const qint64 size = qint64(message.size());
  if (socket.write(reinterpret_cast<const char*>(message.data()), size) != size) return false;
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(left())) return false;

  QByteArray reply;
  while (reply.size() < qsizetype(input::kForwardReplyBytes)) {
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(left())) break;
    reply += socket.read(qint64(input::kForwardReplyBytes) - reply.size());
  }
  return input::IsHandledReply(Bytes(reply));
}

struct TInstanceServer::TImpl {
  TServerSlot Slot;
  TInstanceServer* Owner;
  std::string Path;
  THandler Handler;
  QLocalServer* Server = nullptr;  // child of Owner
  bool Listening = false;
  std::string ListenError;
  std::deque<TMessage> Waiting;
  bool Delivering = false;
  // Expires with this object, which a handler may end (by closing the program).
  std::shared_ptr<int> Alive = std::make_shared<int>(0);

  TImpl(TInstanceServer* owner, std::string path, THandler handler)
      : Owner(owner), Path(std::move(path)), Handler(std::move(handler)) {}

  void Listen() {
    input::TListenOutcome outcome = input::ListenForInstances(Path);
    if (outcome.Result == input::TListenResult::InUse) return;
    if (outcome.Result == input::TListenResult::Failed) {
      ListenError = outcome.Reason;
      return;
    }
    Server = new QLocalServer(Owner);
    QObject::connect(Server, &QLocalServer::newConnection, Owner, [this] {
      while (QLocalSocket* socket = Server->nextPendingConnection()) Accept(socket);
    });
    // The server owns the descriptor from here on.
    Listening = Server->listen(qintptr(outcome.Socket.Release()));
    if (!Listening) ListenError = Server->errorString().toStdString();
  }

  void Accept(QLocalSocket* socket) {
    if (!OwnUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      return;
    }
    socket->setReadBufferSize(kReadChunk);
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto incoming = std::make_shared<TIncoming>();
    QObject::connect(socket, &QLocalSocket::readyRead, socket,
                     [this, socket, incoming] { Read(*socket, *incoming); });
    QTimer::singleShot(kReceiveTimeoutMs, socket, [socket, incoming] {
      if (!incoming->Complete) socket->abort();
    });
    if (socket->bytesAvailable() > 0) Read(*socket, *incoming);
  }

  void Read(QLocalSocket& socket, TIncoming& incoming) {
    const QByteArray chunk = socket.read(kReadChunk);
    if (incoming.Complete) return;  // a message is one per connection; more is ignored
    incoming.Bytes.insert(incoming.Bytes.end(), chunk.begin(), chunk.end());
    try {
      const std::optional<size_t> size = input::ForwardMessageSize(incoming.Bytes);
      if (!size || incoming.Bytes.size() < *size) return;
      incoming.Complete = true;
      Waiting.push_back(
          {&socket, input::AbsoluteArguments(input::DecodeForwardMessage(incoming.Bytes))});
      incoming.Bytes = {};
      // Not from inside the socket's signal: the handler may run a dialog's event loop,
      // in which this socket can go away.
      QMetaObject::invokeMethod(
          Owner, [this] { DeliverWaiting(); }, Qt::QueuedConnection);
    } catch (const input::EForwardMessageError&) {
      incoming.Complete = true;
      incoming.Bytes = {};
      Reply(&socket, input::kForwardNotHandled);
    }
  }

  void DeliverWaiting() {
    // A delivery in progress (its handler showing a dialog) takes the newcomers in turn.
    if (Delivering) return;
    Delivering = true;
    const std::weak_ptr<int> alive = Alive;
    while (!Waiting.empty()) {
      TMessage message = std::move(Waiting.front());
      Waiting.pop_front();
      bool handled = false;
      if (Handler) {
        const THandler handler = Handler;  // SetHandler may replace it meanwhile
        try {
          handled = handler(message.Arguments);
        } catch (const std::exception&) {
          // An exception must not leave the event loop; the sender then runs on its own.
          handled = false;
        }
        if (alive.expired()) return;
      }
      Reply(message.Socket, handled ? input::kForwardHandled : input::kForwardNotHandled);
    }
    Delivering = false;
  }

  static void Reply(QLocalSocket* socket, uint32_t code) {
    if (!socket) return;  // the sender gave up
    if (socket->state() != QLocalSocket::ConnectedState) {
      socket->deleteLater();
      return;
    }
    const std::vector<uint8_t> reply = input::EncodeForwardReply(code);
    socket->write(reinterpret_cast<const char*>(reply.data()), qint64(reply.size()));
    // Closes once the reply is written; "disconnected" then deletes the socket.
    socket->disconnectFromServer();
  }
};

TInstanceServer::TInstanceServer(THandler handler, QObject* parent)
    : TInstanceServer(ui::InstanceServerPath(), std::move(handler), parent) {}

TInstanceServer::TInstanceServer(const std::string& serverPath, THandler handler, QObject* parent)
    : QObject(parent), impl_(std::make_unique<TImpl>(this, serverPath, std::move(handler))) {
  impl_->Listen();
}

TInstanceServer::~TInstanceServer() {
  // Closes the socket and the connections while the state their signals use still exists.
  delete impl_->Server;
}

void TInstanceServer::SetHandler(THandler handler) {
  impl_->Handler = std::move(handler);
}

bool TInstanceServer::IsListening() const {
  return impl_->Listening;
}

const std::string& TInstanceServer::ListenError() const {
  return impl_->ListenError;
}

const std::string& TInstanceServer::ServerPath() const {
  return impl_->Path;
}

}  // namespace pixolan::ui
