// The single-instance hand-over over a local socket: a second start with arguments gives
// them to the instance already running and ends; the running instance adds them as its
// own command line would. The protocol itself is input/SingleInstance.h.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pixolan::ui {

// Where this program (QCoreApplication::applicationFilePath, links resolved) listens for
// the current user. Needs the application object.
std::string InstanceServerPath();

// Sends the arguments and this process's current folder to the instance listening at
// serverPath (default: InstanceServerPath()) and waits at most timeoutMs for its reply.
// True only when it answered "handled": the caller then ends at once. False, without
// contacting anyone, for no arguments; false when nothing listens there, when the server
// belongs to another user, answers "not handled", does not answer in time, or anything
// fails. Blocks the calling thread; no event loop is needed.
bool ForwardToRunningInstance(const std::vector<std::string>& arguments, int timeoutMs);
bool ForwardToRunningInstance(const std::string& serverPath,
                              const std::vector<std::string>& arguments, int timeoutMs);

// A second TInstanceServer while one exists.
class EInstanceServerError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The running instance's receiver. Listens at the server path unless a live instance
// already does (a start without arguments runs beside it, as a second window), replacing
// a socket left by a crashed instance. Each connection brings one message; once it is
// whole, on the thread of this object, the handler gets the arguments with relative
// paths made absolute against the sender's folder, and the sender gets "handled" when
// the handler returns true. Without a handler, for a damaged or oversized message, or
// when the handler throws, the answer is "not handled", so the sender runs on its own.
// Messages that arrive while the handler runs (a message box of the list, say) wait and
// are handled after it, in order. Connections of other users are refused. The handler
// decides while the sender waits (a few seconds): work that may take long (a folder
// scan) belongs after the return, queued on the event loop.
//
// At most one exists in a process: a second construction raises EInstanceServerError
// ("Nur ein TInstanceServer-Objekt möglich").
class TInstanceServer : public QObject {
 public:
  using THandler = std::function<bool(const std::vector<std::string>& arguments)>;

  explicit TInstanceServer(THandler handler = {}, QObject* parent = nullptr);
  TInstanceServer(const std::string& serverPath, THandler handler, QObject* parent = nullptr);
  ~TInstanceServer() override;
  TInstanceServer(const TInstanceServer&) = delete;
  TInstanceServer& operator=(const TInstanceServer&) = delete;

  // Replaces the handler; an empty one answers "not handled" from now on.
  void SetHandler(THandler handler);

  bool IsListening() const;
  // Why it does not listen: empty while listening or when another instance does.
  const std::string& ListenError() const;
  const std::string& ServerPath() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
