#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <thread>

#include "input/SingleInstance.h"
#include "support/ErrorOf.h"
#include "support/Files.h"
#include "support/LocalSockets.h"
#include "support/QtApplication.h"
#include "support/TempFolder.h"
#include "ui/SingleInstance.h"

namespace pixolan::ui {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The sender runs on a thread of its own, as a second program would, while this thread's
// event loop serves it.
template <class Fn>
auto Serve(Fn&& sender) {
  auto result = std::async(std::launch::async, std::forward<Fn>(sender));
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return result.wait_for(0s) == std::future_status::ready; }, 60000));
  return result.get();
}

bool Forward(const std::string& path, const std::vector<std::string>& arguments,
             int timeoutMs = 30000) {
  return Serve([=] { return ForwardToRunningInstance(path, arguments, timeoutMs); });
}

std::vector<uint8_t> Exchange(const std::string& path, const std::vector<uint8_t>& bytes) {
  return Serve([=] { return test::Exchange(path, bytes); });
}

// Records what the handler receives and answers as told.
struct TRecorder {
  std::vector<std::vector<std::string>> Calls;
  bool Answer = true;
  TInstanceServer::THandler Handler() {
    return [this](const std::vector<std::string>& arguments) {
      EXPECT_EQ(std::this_thread::get_id(), mainThread);
      Calls.push_back(arguments);
      return Answer;
    };
  }
  std::thread::id mainThread = std::this_thread::get_id();
};

class InstanceServerTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  test::TTempFolder folder_;
  std::string path_ = folder_.File("instance");
  TRecorder recorder_;
};

TEST_F(InstanceServerTest, ForwardedArgumentsReachTheHandler) {
  const TInstanceServer server(path_, recorder_.Handler());
  ASSERT_TRUE(server.IsListening()) << server.ListenError();
  const std::string odd = "odd \"name\"\n\xFF.png";
  EXPECT_TRUE(Forward(path_, {"sub/a.jpg", "/abs/b.png", odd}));
  const std::string here = fs::current_path().string();
  ASSERT_EQ(recorder_.Calls.size(), 1u);
  EXPECT_EQ(recorder_.Calls[0],
            (std::vector<std::string>{here + "/sub/a.jpg", "/abs/b.png", here + "/" + odd}));
  // A start without arguments does not even ask: it runs as a second window.
  EXPECT_FALSE(Forward(path_, {}));
  EXPECT_EQ(recorder_.Calls.size(), 1u);
}

TEST_F(InstanceServerTest, TheAnswerFollowsTheHandler) {
  TInstanceServer server(path_, {});
  ASSERT_TRUE(server.IsListening()) << server.ListenError();
  const struct {
    const char* name;
    TInstanceServer::THandler handler;
    bool handled;
  } cases[] = {
      {"no handler yet", {}, false},
      {"refuses", [](const auto&) { return false; }, false},
      {"throws", [](const auto&) -> bool { throw std::runtime_error("no"); }, false},
      {"handles", [](const auto&) { return true; }, true},
  };
  for (const auto& c : cases) {
    server.SetHandler(c.handler);
    EXPECT_EQ(Forward(path_, {"a.jpg"}), c.handled) << c.name;
  }
}

TEST_F(InstanceServerTest, NothingListeningMeansNoForward) {
  test::MakeStaleSocket(folder_.File("stale"));
  test::WriteFileText(folder_ / "file", "");
  for (const char* name : {"missing", "stale", "file"})
    EXPECT_FALSE(Forward(folder_.File(name), {"a.jpg"})) << name;
}

TEST_F(InstanceServerTest, ACrashedInstancesSocketIsReplaced) {
  test::MakeStaleSocket(path_);
  const TInstanceServer server(path_, recorder_.Handler());
  ASSERT_TRUE(server.IsListening()) << server.ListenError();
  EXPECT_TRUE(Forward(path_, {"/a.jpg"}));
  EXPECT_EQ(recorder_.Calls, std::vector<std::vector<std::string>>{{"/a.jpg"}});
}

TEST_F(InstanceServerTest, ALiveInstanceKeepsItsSocket) {
  // Another program's server, which queues connections without answering.
  const platform::TUniqueFd live = test::ListenAt(path_);
  const TInstanceServer server(path_, recorder_.Handler());
  EXPECT_FALSE(server.IsListening());
  EXPECT_EQ(server.ListenError(), "");
  EXPECT_EQ(fs::status(path_).type(), fs::file_type::socket);
  // A sender waits for that server's answer only as long as it said.
  EXPECT_FALSE(Forward(path_, {"a.jpg"}, 200));
  EXPECT_TRUE(recorder_.Calls.empty());
}

TEST_F(InstanceServerTest, OnlyOneServerPerProcess) {
  {
    const TInstanceServer first(path_, {});
    EXPECT_EQ(test::ErrorOf<EInstanceServerError>(
                  [&] { TInstanceServer second(folder_.File("other"), {}); }),
              "Nur ein TInstanceServer-Objekt m\xC3\xB6glich");
    EXPECT_TRUE(first.IsListening());
  }
  // Gone with its socket: the next one listens at the same place.
  EXPECT_FALSE(fs::exists(path_));
  const TInstanceServer next(path_, recorder_.Handler());
  EXPECT_TRUE(next.IsListening());
  EXPECT_TRUE(Forward(path_, {"/b.jpg"}));
}

TEST_F(InstanceServerTest, DamagedMessagesAreNotHandled) {
  const TInstanceServer server(path_, recorder_.Handler());
  const std::vector<uint8_t> notHandled = input::EncodeForwardReply(input::kForwardNotHandled);
  std::vector<uint8_t> message = input::EncodeForwardMessage({"/home", {"a.jpg"}});
  message.push_back('!');
  const std::vector<uint8_t> cases[] = {
      {'G', 'E', 'T', ' ', '/'},
      {'P', 'X', 'F', 'W', 0xFF, 0xFF, 0xFF, 0xFF},  // announces 4 GB: refused at once
      message,
  };
  for (const std::vector<uint8_t>& bytes : cases)
    EXPECT_EQ(Exchange(path_, bytes), notHandled) << bytes.size();
  // One that connects and leaves without a word (a start checking for a live server).
  test::Knock(path_);
  EXPECT_TRUE(recorder_.Calls.empty());
  // The server serves on.
  EXPECT_TRUE(Forward(path_, {"/c.jpg"}));
  EXPECT_EQ(recorder_.Calls.size(), 1u);
}

TEST_F(InstanceServerTest, MessagesWaitWhileTheHandlerShowsADialog) {
  int depth = 0, deepest = 0;
  std::vector<std::string> order;
  std::future<bool> second;
  TInstanceServer server(path_, [&](const std::vector<std::string>& arguments) {
    deepest = std::max(deepest, ++depth);
    order.push_back(arguments.front());
    if (order.size() == 1) {
      // A message box of the list runs an event loop; the next start arrives meanwhile.
      second = std::async(std::launch::async,
                          [this] { return ForwardToRunningInstance(path_, {"/2.jpg"}, 30000); });
      QTest::qWait(500);
    }
    --depth;
    return true;
  });
  EXPECT_TRUE(Forward(path_, {"/1.jpg"}));
  ASSERT_TRUE(second.valid());
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return second.wait_for(0s) == std::future_status::ready; }, 60000));
  EXPECT_TRUE(second.get());
  EXPECT_EQ(order, (std::vector<std::string>{"/1.jpg", "/2.jpg"}));
  EXPECT_EQ(deepest, 1);
}

TEST_F(InstanceServerTest, ASenderThatGaveUpDoesNotDisturbTheServer) {
  bool slow = true;
  TInstanceServer server(path_, [&](const std::vector<std::string>&) {
    if (slow) QTest::qWait(400);
    return true;
  });
  EXPECT_FALSE(Forward(path_, {"/a.jpg"}, 100));
  slow = false;
  // The late answer goes nowhere; the next start is served.
  QTest::qWait(500);
  EXPECT_TRUE(Forward(path_, {"/b.jpg"}));
}

TEST_F(InstanceServerTest, TheHandlerMayEndTheServer) {
  // As closing the program from a dialog the handler shows would.
  std::unique_ptr<TInstanceServer> server;
  server = std::make_unique<TInstanceServer>(path_, [&](const std::vector<std::string>&) {
    server.reset();
    return true;
  });
  EXPECT_FALSE(Forward(path_, {"/a.jpg"}));
  EXPECT_FALSE(fs::exists(path_));
  // The process may have a server again.
  EXPECT_TRUE(TInstanceServer(path_, {}).IsListening());
}

}  // namespace
}  // namespace pixolan::ui
