// The virtual printer in process: jobs over loopback become PNG files as their labels arrive,
// garbage gets warnings and leaves the server running, caps end jobs. The eplview serve program
// itself, under load and SIGTERM, is test_server_load.cpp's.
#include <gtest/gtest.h>

#include <deque>

#include "printer_fixtures.h"

namespace eplview::test {
namespace {

const std::string two_labels =
    with_header(driver_lines({"A10,10,0,3,1,1,N,\"first\"", "P1", "N", "LO0,0,50,50", "P2"}));

TEST_F(Loopback, WritesEachLabelWhileTheJobIsStillArriving) {
    start();
    Client client(port);
    auto second = two_labels.find("N\n\r\nLO");
    ASSERT_TRUE(client.send_all(two_labels.substr(0, second)));
    ASSERT_TRUE(wait([&] { return written == 1; }));
    EXPECT_EQ(jobs_ended, 0u);
    EXPECT_FALSE(fs::exists(job_file(1, 2)));
    ASSERT_TRUE(client.send_all(two_labels.substr(second)));
    client.close_now();
    ASSERT_TRUE(wait([&] { return jobs_ended == 1; }));
    Job expected = run(two_labels);
    EXPECT_TRUE(read_png(job_file(1, 1)) == expected.labels[0].image);
    EXPECT_TRUE(read_png(job_file(1, 2)) == expected.labels[1].image);
    EXPECT_NE(log.find("2 labels (copies: 1 2)"), std::string::npos) << log;
}

// A label printed without clearing the buffer first carries the dots of the one before it.
TEST_F(Loopback, PrintsOverTheLabelBeforeWithoutAClear) {
    start();
    const std::string job =
        with_header(driver_lines({"A10,10,0,3,1,1,N,\"first\"", "P1", "LO0,0,50,50", "P1"}));
    Client client(port);
    ASSERT_TRUE(client.send_all(job));
    client.close_now();
    ASSERT_TRUE(wait([&] { return jobs_ended == 1; }));
    Job expected = run(job);
    EXPECT_GT(expected.labels[1].image.black_count(), expected.labels[0].image.black_count());
    EXPECT_TRUE(read_png(job_file(1, 1)) == expected.labels[0].image);
    EXPECT_TRUE(read_png(job_file(1, 2)) == expected.labels[1].image);
}

// A job ends when its sender closes, at the byte cap (a job of exactly the cap is whole) or when
// its sender falls silent; a job of garbage gets warnings (a run of alike ones folded into one)
// and the note on its label's length, and the server goes on.
TEST_F(Loopback, EndsJobsAtTheCapsAndGoesOnAfterGarbage) {
    options.max_bytes = two_labels.size();
    options.idle_seconds = 1;
    start();
    ASSERT_TRUE(Client(port).send_all("\x01\x02 nonsense\nLOx\nLOy\nP1\nGW1,1,9,9,\xFF"));
    ASSERT_TRUE(Client(port).send_all(two_labels + "P1\n"));
    Client silent(port);
    ASSERT_TRUE(silent.send_all(two_labels));
    ASSERT_TRUE(wait([&] { return jobs_ended == 3; }));
    const std::string cap = std::to_string(two_labels.size());
    for (const std::string& line : std::vector<std::string>{
             "job 1: warning at byte 0, line 1: unknown command \"\\x01\\x02 nonse\"",
             "job 1: warning at byte 12, line 2: LO: expected 4 parameters, found 1 ... and 1 "
             "more like it on line 3",
             "job 1: note at byte 20, line 4: no Q command: the label is as long as what was "
             "drawn, 1 dots",
             "job 2: longer than " + cap + " bytes; the rest", "job 3: idle for 1 s",
             "job 3: " + cap + " bytes, 2 labels"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_TRUE(fs::exists(job_file(3, 2)));
    EXPECT_EQ(whole_pngs(), 5u);  // one of job 1, two of job 2, two of job 3
}

// Senders beyond the connections received at once wait in the listening queue and are served in
// turn, whatever order they finish in; none of their data is lost.
TEST_F(Loopback, SendersBeyondTheConnectionCapWaitTheirTurn) {
    options.max_connections = 2;
    start();
    std::deque<Client> clients;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(clients.emplace_back(port).send_all(two_labels.substr(0, 20)));
    for (auto client = clients.rbegin(); client != clients.rend(); ++client) {
        ASSERT_TRUE(client->send_all(two_labels.substr(20)));
        client->close_now();
    }
    ASSERT_TRUE(wait([&] { return jobs_ended == 5; }));
    EXPECT_EQ(whole_pngs(), 10u);
}

}  // namespace
}  // namespace eplview::test
