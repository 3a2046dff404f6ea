#include "AnalyticsTestSupport.h"

#include "analytics/AnalyticsDB.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace flintly::analytics;
using namespace flintly::analytics::test;
using namespace std::chrono_literals;

namespace {

// The helper process, its standard input a pipe and its output a file.
struct Helper {
    pid_t pid = -1;
    int input = -1;

    Helper(const std::vector<std::string>& args, const std::vector<std::string>& extraEnvironment,
           const std::string& outputFile)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<std::string> environment = extraEnvironment;
        for (char** e = environ; *e; ++e)
            environment.emplace_back(*e);
        std::vector<char*> argv, envp;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const auto& e : environment)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[0]);
        input = fds[1];
    }
    ~Helper()
    {
        if (input >= 0)
            ::close(input);
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void tell(const std::string& line)
    {
        [[maybe_unused]] auto n = ::write(input, line.data(), line.size());
    }
    // The exit status, or nothing when it is still running after `patience`.
    std::optional<int> wait(std::chrono::milliseconds patience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return status;
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }
};

std::string tail(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    return text.size() > 4000 ? text.substr(text.size() - 4000) : text;
}

}  // namespace

// At exit the client is ended while the request to a stalled server is still open: the
// request is abandoned and what was recorded stays stored, without a crash. (Left to the
// process's static destructors instead, the client logged into a logger already
// destroyed; the sanitizer build turns any such use into a failed exit.)
TEST(QuittingDuringAnUpload, EndsPromptlyAndCleanlyWithTheRecordsKept)
{
    TestServer server;
    server.setAnswer({200, "1", {}, 0ms, true});
    const std::string folder = freshFolder("exit");
    const std::string output = folder + "/output.txt";
    Helper helper({FLINTLY_EXIT_HELPER, folder},
                  {"FLINTLY_ANALYTICS_TOKEN=exit-token", "FLINTLY_ANALYTICS_URL=" + server.url()}, output);
    ASSERT_GT(helper.pid, 0);
    for (int i = 0; i < 500 && server.requestCount() == 0; ++i)
        std::this_thread::sleep_for(20ms);
    ASSERT_EQ(server.requestCount(), 1u) << "the upload is under way\n" << tail(output);

    helper.tell("quit\n");
    const auto status = helper.wait(10s);
    ASSERT_TRUE(status) << "still running with the upload hanging\n" << tail(output);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << tail(output);

    AnalyticsDB db("exit-token", folder + "/cache");
    std::vector<std::string> names;
    for (const auto& row : db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false))
        names.push_back(row["event"]);
    EXPECT_EQ(names, (std::vector<std::string>{"$identify", "app_launch", "create_note", "focus_session_end"}));
}
