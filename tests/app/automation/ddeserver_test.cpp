#include "app/automation/ddeserver.h"

#include "fakewindow.h"
#include "qtext/qtext.h"

#include <QLocalSocket>

#include <filesystem>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace marrowen {
namespace {

using testing::waitFor;

// Sends `bytes` and gives what came back until the server answered a line
// or closed.
QByteArray ask(const QString &path, const QByteArray &bytes, bool *closed = nullptr) {
  QLocalSocket client;
  client.connectToServer(path);
  if (!waitFor([&] { return client.state() == QLocalSocket::ConnectedState; }, 10000))
    return "unconnected";
  client.write(bytes);
  client.flush();
  QByteArray answer;
  waitFor([&] {
    answer += client.readAll();
    return answer.endsWith('\n') || client.state() == QLocalSocket::UnconnectedState;
  });
  if (closed) {
    waitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 10000);
    *closed = client.state() == QLocalSocket::UnconnectedState;
  }
  return answer;
}

// The process's descriptors open on /dev/null: the server's spare one
// among them.
int devNullDescriptors() {
  int count = 0;
  for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == "/dev/null")
      ++count;
  }
  return count;
}

class DdeTest : public testing::MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    socket = QString::fromStdString(dir.file("run/MarrowenDDE"));
    dde = std::make_unique<TMarrowenDDE>(MarrowenDDEExecuteMacro);
    ASSERT_TRUE(dde->start(socket)) << dde->errorText().toStdString();
  }
  void TearDown() override {
    dde.reset();
    TMarrowenDDE::peerUser() = [](int fd) {
      ucred c{};
      socklen_t n = sizeof c;
      ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &c, &n);
      return c.uid;
    };
    MainWindowTest::TearDown();
  }
  QString socket;
  std::unique_ptr<TMarrowenDDE> dde;
};

TEST_F(DdeTest, FileOpenMacrosOpenInTheFreeWindowAndOthersAreRefused) {
  EXPECT_EQ(ask(socket, "[FileOpen(\"/data/my lists/a b.fll\")]\r\n"), "OK\n");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->loaded, std::vector<std::string>{"/data/my lists/a b.fll"});
  // That window now has a file: the next goes to a new one. No closing
  // quote keeps the rest; a long name is taken whole.
  const std::string longName = "/" + std::string(300, 'n');
  EXPECT_EQ(ask(socket, "[FileOpen(\"/x/unclosed\n"), "OK\n");
  EXPECT_EQ(ask(socket, "[FileOpen(\"" + QByteArray::fromStdString(longName) + "\")]\n"), "OK\n");
  ASSERT_EQ(made.size(), 3u);
  EXPECT_EQ(made[1]->loaded, std::vector<std::string>{"/x/unclosed"});
  EXPECT_EQ(made[2]->loaded, std::vector<std::string>{longName});

  // Letter case counts; the box shows the whole macro, a name's byte that
  // is no UTF-8 apart from the letter, and the answer keeps its bytes.
  EXPECT_EQ(ask(socket, "[fileopen(\"/lat\xE9n.fll\")]\n"),
            "ERROR Invalid DDE message [fileopen(\"/lat\xE9n.fll\")]\n");
  waitFor([&] { return !boxTexts.empty(); }, 10000);
  EXPECT_EQ(
      boxTexts,
      std::vector<std::string>{
          messageToQString("Invalid DDE message [fileopen(\"/lat\xE9n.fll\")]").toStdString()});
  EXPECT_EQ(made.size(), 3u);
}

TEST_F(DdeTest, OversizedSilentAndForeignClientsAreClosed) {
  bool closed = false;
  EXPECT_TRUE(
      ask(socket, QByteArray(TMarrowenDDE::maxLine + 10, 'x'), &closed).startsWith("ERROR "));
  EXPECT_TRUE(closed);
  dde->setIdleTimeout(200);
  EXPECT_TRUE(ask(socket, "[FileOpen(\"/a", &closed).startsWith("ERROR "));
  EXPECT_TRUE(closed);
  TMarrowenDDE::peerUser() = [](int) { return static_cast<uid_t>(::getuid() + 1); };
  EXPECT_EQ(ask(socket, "[FileOpen(\"/a\")]\n", &closed), "");
  EXPECT_TRUE(closed);
  EXPECT_TRUE(made.empty());
}

TEST_F(DdeTest, ClientsBeyondTheLimitOrTheDescriptorsAreTurnedAwayAndServingGoesOn) {
  std::vector<std::unique_ptr<QLocalSocket>> silent;
  for (std::size_t i = 0; i < TMarrowenDDE::maxClients; ++i) {
    silent.push_back(std::make_unique<QLocalSocket>());
    silent.back()->connectToServer(socket);
  }
  bool closed = false;
  EXPECT_EQ(ask(socket, "[FileOpen(\"/a\")]\n", &closed), "ERROR busy\n");
  EXPECT_TRUE(closed);
  silent.clear();
  EXPECT_TRUE(waitFor([&] { return ask(socket, "[FileOpen(\"/a\")]\n") == "OK\n"; }, 3000));

  // Every descriptor taken but the one the client needs, twice: the spare
  // descriptor that answers is held again after each time, and the server
  // closes no descriptor of another's.
  const int held = devNullDescriptors();
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 4096);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  for (int time = 1; time <= 2; ++time) {
    std::vector<int> taken;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
      taken.push_back(fd);
    ::close(taken.back());
    taken.pop_back();
    const QByteArray answer = ask(socket, "[FileOpen(\"/b\")]\n");
    int lost = 0;
    for (int fd : taken)
      if (::close(fd) != 0)
        ++lost;
    EXPECT_EQ(answer, "ERROR busy\n") << time;
    EXPECT_EQ(lost, 0) << time;
    EXPECT_EQ(ask(socket, "[FileOpen(\"/b\")]\n"), "OK\n") << time;
    EXPECT_EQ(devNullDescriptors(), held) << time;
  }

  // The program starts with as many descriptors as it may have.
  lowered.rlim_cur = std::min<rlim_t>(saved.rlim_max, 64);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  EXPECT_TRUE(raiseDescriptorLimit());
  rlimit raised{};
  ::getrlimit(RLIMIT_NOFILE, &raised);
  EXPECT_EQ(raised.rlim_cur, saved.rlim_max);
  ::setrlimit(RLIMIT_NOFILE, &saved);
}

TEST_F(DdeTest, OneServerPerSocketAndAStaleSocketIsTakenOver) {
  TMarrowenDDE second(nullptr);
  EXPECT_FALSE(second.start(socket));
  EXPECT_EQ(ask(socket, "[FileOpen(\"/a\")]\n"), "OK\n");

  // A socket file nobody listens at, as a crash leaves it.
  const std::string stale = dir.file("run/Stale");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", stale.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  ::close(fd);
  TMarrowenDDE recovered(MarrowenDDEExecuteMacro);
  EXPECT_TRUE(recovered.start(QString::fromStdString(stale)));
  EXPECT_EQ(ask(QString::fromStdString(stale), "[FileOpen(\"/b\")]\n"), "OK\n");

  // A folder others may enter is refused.
  ::mkdir(dir.file("open").c_str(), 0755);
  ::chmod(dir.file("open").c_str(), 0755);
  TMarrowenDDE exposed(nullptr);
  EXPECT_FALSE(exposed.start(QString::fromStdString(dir.file("open/MarrowenDDE"))));
}

} // namespace
} // namespace marrowen
