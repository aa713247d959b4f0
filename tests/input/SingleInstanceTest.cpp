#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "imaging/image/ByteOrder.h"
#include "input/SingleInstance.h"
#include "support/ErrorOf.h"
#include "support/Files.h"
#include "support/LocalSockets.h"
#include "support/TempFolder.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

platform::TEnvironment Environment(std::map<std::string, std::string> variables) {
  return [variables](std::string_view name) -> std::optional<std::string> {
    const auto found = variables.find(std::string(name));
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

// Whether a client can connect to the socket at path.
bool Accepts(const std::string& path) {
  platform::TUniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  return ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

TEST(SingleInstance, ServerNameIsAFixedHashOfUserAndProgram) {
  // Known values: every build and version of the program must find the others.
  EXPECT_EQ(InstanceServerName("/usr/bin/pixolan", 1000), "pixolan-11d100ed2ad19619");
  EXPECT_EQ(InstanceServerName("/opt/pixolan/bin/pixolan", 0), "pixolan-048cbcb3f4e7e161");
  const std::string name = InstanceServerName("/usr/bin/pixolan", 1000);
  EXPECT_NE(InstanceServerName("/usr/local/bin/pixolan", 1000), name);
  EXPECT_NE(InstanceServerName("/usr/bin/pixolan", 1001), name);
  // The user id and the path do not run into each other.
  EXPECT_NE(InstanceServerName("0/x", 1), InstanceServerName("/x", 10));
  const std::string longPath = "/" + std::string(4000, 'a') + "/\xFF\n\"pixolan";
  const std::string hashed = InstanceServerName(longPath, 4294967295u);
  ASSERT_EQ(hashed.size(), 24u);
  EXPECT_TRUE(hashed.starts_with("pixolan-"));
  EXPECT_EQ(hashed.find_first_not_of("0123456789abcdef", 8), std::string::npos) << hashed;
}

TEST(SingleInstance, ServerPathPrefersTheUsersRuntimeFolder) {
  const std::string name = InstanceServerName("/usr/bin/pixolan", 1000);
  const std::string tooLong = "/" + std::string(100, 'r');
  const struct {
    std::map<std::string, std::string> variables;
    std::string folder;
  } cases[] = {
      {{{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"TMPDIR", "/var/tmp"}}, "/run/user/1000"},
      {{{"XDG_RUNTIME_DIR", "/run/user/1000//"}}, "/run/user/1000"},
      {{{"TMPDIR", "/var/tmp"}}, "/var/tmp"},
      {{{"XDG_RUNTIME_DIR", "run/user"}, {"TMPDIR", ""}}, "/tmp"},  // relative, empty
      {{{"XDG_RUNTIME_DIR", tooLong}, {"TMPDIR", "/var/tmp"}}, "/var/tmp"},
      {{{"TMPDIR", tooLong}}, "/tmp"},
      {{{"TMPDIR", "/"}}, ""},
      {{}, "/tmp"},
  };
  for (const auto& c : cases) {
    const std::string path = InstanceServerPath("/usr/bin/pixolan", 1000, Environment(c.variables));
    EXPECT_EQ(path, c.folder + "/" + name)
        << (c.variables.empty() ? "" : c.variables.begin()->second);
    EXPECT_LT(path.size(), sizeof(sockaddr_un{}.sun_path));
  }
}

TEST(SingleInstance, MessagesCarryAnyBytes) {
  const std::string everyByte = [] {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += char(i);
    return bytes;
  }();
  const TForwardedCommandLine cases[] = {
      {"/home/u", {"a.jpg"}},
      {"/", {}},
      {"/home/\xC3\xBC",
       {"", "\"quoted\" name.png", "line\nbreak", std::string("nul\0in", 6), "\xFF\xFE not UTF-8",
        "\xF0\x9F\x98\x80.tif", everyByte}},
      {"/x", {std::string(300000, 'p'), "b"}},
  };
  for (const TForwardedCommandLine& commandLine : cases) {
    const std::vector<uint8_t> message = EncodeForwardMessage(commandLine);
    EXPECT_EQ(ForwardMessageSize(message), message.size());
    const TForwardedCommandLine decoded = DecodeForwardMessage(message);
    EXPECT_EQ(decoded.Folder, commandLine.Folder);
    EXPECT_EQ(decoded.Arguments, commandLine.Arguments);
  }
}

TEST(SingleInstance, TheSenderRefusesWhatTheReceiverWould) {
  EXPECT_EQ(test::ErrorOf<EForwardMessageError>([] {
              EncodeForwardMessage({"home/u", {"a"}});
            }),
            "the sender's folder is not an absolute path: home/u");
  // Exactly at the limit still goes; one byte more does not.
  const size_t fits = kMaxForwardMessageBytes - 8 - 4 - (4 + 2) - 4;
  const std::vector<uint8_t> largest = EncodeForwardMessage({"/x", {std::string(fits, 'a')}});
  EXPECT_EQ(largest.size(), kMaxForwardMessageBytes);
  EXPECT_EQ(DecodeForwardMessage(largest).Arguments.front().size(), fits);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{std::string(fits + 1, 'a')},
        std::vector<std::string>(1000, std::string(8400, 'a'))})
    EXPECT_EQ(test::ErrorOf<EForwardMessageError>([&] {
                EncodeForwardMessage({"/x", arguments});
              }),
              "the command line is longer than 8388608 bytes");
}

TEST(SingleInstance, DamagedMessagesAreRefused) {
  const std::vector<uint8_t> good = EncodeForwardMessage({"/home", {"a.jpg", "b"}});
  // Every cut-off message is refused, at whatever byte it ends.
  for (size_t length = 0; length < good.size(); ++length)
    EXPECT_THROW(DecodeForwardMessage(std::span(good).first(length)), EForwardMessageError)
        << length;

  const auto changed = [&good](size_t at, uint32_t value) {
    std::vector<uint8_t> bytes = good;
    imaging::Put32(bytes.data() + at, value);
    return bytes;
  };
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  std::vector<uint8_t> trailing = changed(4, imaging::Get32(good.data() + 4) + 1);
  trailing.push_back(0);
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string error;
  } cases[] = {
      {"magic", changed(0, 0x57465851), "it does not begin with the message mark"},
      {"no arguments", EncodeForwardMessage({"/home", {}}), ""},  // valid, for contrast
      {"count 0", changed(8, 0), "it holds no folder"},
      {"count too high", changed(8, 4), "the length of a string is cut off"},
      {"count absurd", changed(8, 0xFFFFFFFF), "it claims 4294967295 strings in "},
      {"length too long", changed(12, 6), "string 1 claims"},
      {"length absurd", changed(12, 0xFFFFFFF0), "string 0 claims 4294967280 bytes"},
      {"size too small", changed(4, 7), "it announces only 7 bytes"},
      {"size over limit", changed(4, 0xFFFFFFFF), "it announces 4294967295 bytes, more than"},
      {"extra byte", longer, "1 bytes follow its end"},
      {"extra string bytes", trailing, "1 bytes follow the last string"},
  };
  for (const auto& c : cases) {
    const std::string error =
        test::ErrorOf<EForwardMessageError>([&] { DecodeForwardMessage(c.bytes); });
    if (c.error.empty()) {
      EXPECT_EQ(error, "no error") << c.name;
    } else {
      EXPECT_TRUE(error.starts_with("damaged command line message: " + c.error))
          << c.name << ": " << error;
    }
  }
  // A folder that is not absolute, made by hand: the sender would not write it.
  std::vector<uint8_t> relative = EncodeForwardMessage({"/home", {}});
  relative[16] = 'h';
  EXPECT_EQ(test::ErrorOf<EForwardMessageError>([&] { DecodeForwardMessage(relative); }),
            "damaged command line message: the sender's folder is not an absolute path");
}

TEST(SingleInstance, TheSizeIsKnownFromTheHeaderAlone) {
  const std::vector<uint8_t> good = EncodeForwardMessage({"/home", {"a.jpg"}});
  for (size_t length = 0; length < 8; ++length)
    EXPECT_EQ(ForwardMessageSize(std::span(good).first(length)), std::nullopt) << length;
  EXPECT_EQ(ForwardMessageSize(std::span(good).first(8)), good.size());
  // A stranger is stopped at its first byte, an oversized message at its header.
  EXPECT_THROW(ForwardMessageSize(std::vector<uint8_t>{'G'}), EForwardMessageError);
  EXPECT_THROW(ForwardMessageSize(std::vector<uint8_t>{'P', 'X', 'F', 'W', 0, 0, 0x80, 0}),
               EForwardMessageError);
}

TEST(SingleInstance, RelativeArgumentsFollowTheSendersFolder) {
  const TForwardedCommandLine commandLine{
      "/home/u/pics",
      {"a.jpg", "./b.png", "sub/./c.tif", "../d.gif", "/abs/e.bmp", "", "dir/", "."}};
  EXPECT_EQ(AbsoluteArguments(commandLine),
            (std::vector<std::string>{"/home/u/pics/a.jpg", "/home/u/pics/b.png",
                                      "/home/u/pics/sub/c.tif", "/home/u/pics/../d.gif",
                                      "/abs/e.bmp", "", "/home/u/pics/dir/", "/home/u/pics"}));
  EXPECT_EQ(AbsoluteArguments({"/", {"x"}}), std::vector<std::string>{"/x"});
}

TEST(SingleInstance, OnlyTheHandledCodeIsHandled) {
  EXPECT_TRUE(IsHandledReply(EncodeForwardReply(kForwardHandled)));
  EXPECT_EQ(EncodeForwardReply(kForwardHandled), (std::vector<uint8_t>{0x81, 0x00, 0x86, 0xDA}));
  for (const std::vector<uint8_t>& reply :
       {EncodeForwardReply(kForwardNotHandled), EncodeForwardReply(0), std::vector<uint8_t>{},
        std::vector<uint8_t>{0x81, 0x00, 0x86}, std::vector<uint8_t>{0x81, 0x00, 0x86, 0xDA, 0}})
    EXPECT_FALSE(IsHandledReply(reply)) << reply.size();
}

TEST(SingleInstance, PeersAreKnownByTheirUser) {
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  const platform::TUniqueFd one(ends[0]), other(ends[1]);
  EXPECT_EQ(PeerUserId(one.Get()), ::geteuid());
  EXPECT_EQ(PeerUserId(-1), std::nullopt);
}

TEST(SingleInstance, ListeningReplacesOnlyStaleSockets) {
  const test::TTempFolder folder;
  const std::string path = folder.File("s");

  // Free: listens.
  {
    TListenOutcome outcome = ListenForInstances(path);
    ASSERT_EQ(outcome.Result, TListenResult::Listening) << outcome.Reason;
    EXPECT_TRUE(Accepts(path));
    EXPECT_EQ(fs::status(path).permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
    // A second server at the same path while the first lives: not stolen.
    EXPECT_EQ(ListenForInstances(path).Result, TListenResult::InUse);
    EXPECT_TRUE(Accepts(path));
  }
  // The first closed without removing its file: stale now, and replaced.
  EXPECT_FALSE(Accepts(path));
  TListenOutcome replaced = ListenForInstances(path);
  ASSERT_EQ(replaced.Result, TListenResult::Listening) << replaced.Reason;
  EXPECT_TRUE(Accepts(path));
  replaced.Socket.Reset();
  fs::remove(path);

  test::MakeStaleSocket(path);
  EXPECT_EQ(ListenForInstances(path).Result, TListenResult::Listening);
  fs::remove(path);

  // A live server of another program keeps its socket and its queue.
  const platform::TUniqueFd live = test::ListenAt(path);
  EXPECT_EQ(ListenForInstances(path).Result, TListenResult::InUse);
  EXPECT_TRUE(Accepts(path));

  // What is not a socket is never removed.
  test::WriteFileText(folder / "file", "data");
  fs::create_symlink(folder / "gone", folder / "link");
  for (const char* name : {"file", "link"})
    EXPECT_EQ(ListenForInstances(folder.File(name)).Result, TListenResult::InUse) << name;
  EXPECT_EQ(test::ReadFileText(folder / "file"), "data");
  EXPECT_TRUE(fs::is_symlink(folder / "link"));

  const TListenOutcome tooLong = ListenForInstances(folder.File(std::string(120, 'n')));
  EXPECT_EQ(tooLong.Result, TListenResult::Failed);
  EXPECT_FALSE(tooLong.Reason.empty());
  const TListenOutcome noFolder = ListenForInstances(folder.File("missing/s"));
  EXPECT_EQ(noFolder.Result, TListenResult::Failed);
  EXPECT_NE(noFolder.Reason.find("No such file or directory"), std::string::npos)
      << noFolder.Reason;
}

}  // namespace
}  // namespace pixolan::input
