#include "platform/linux/browsers/LoopbackHttp.h"

#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace knokle;

TEST(LoopbackHttp, ResponsesEndAtTheirLengthTheirLastChunkOrTheStreamsEnd) {
    const std::string head = "HTTP/1.1 200 OK\r\n";
    struct Case {
        std::string received;
        bool ended;
        HttpReading reading;
        std::string body;
    } cases[] = {
        {head + "Content-Length: 4\r\n\r\n[]", false, HttpReading::incomplete, ""},
        {head + "content-length:4\r\n\r\n[{}]", false, HttpReading::complete, "[{}]"},
        {head + "Content-Length: 4\r\n\r\n[]", true, HttpReading::malformed, ""},
        {head + "Content-Length: 13\r\n\r\n", false, HttpReading::tooLarge, ""},
        {head + "Transfer-Encoding: chunked\r\n\r\n2\r\n[{\r\nA;x\r\n}]........\r\n0\r\n\r\n", false,
         HttpReading::complete, "[{}]........"},
        {head + "Transfer-Encoding: chunked\r\n\r\n2\r\n[{\r\n", false, HttpReading::incomplete, ""},
        {head + "Transfer-Encoding: chunked\r\n\r\n2\r\n[{}]\r\n0\r\n\r\n", false, HttpReading::malformed, ""},
        {head + "Transfer-Encoding: chunked\r\n\r\n6\r\n123456\r\n7\r\n1234567\r\n0\r\n\r\n", false,
         HttpReading::tooLarge, ""},
        {head + "\r\n[]", false, HttpReading::incomplete, ""},
        {head + "\r\n[]", true, HttpReading::complete, "[]"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n", true, HttpReading::malformed, ""},
        {"HTTP/2 200\r\nContent-Length: 2\r\n\r\n[]", false, HttpReading::malformed, ""},
        {head + "Content-Length: 2\r\nContent-Length: 3\r\n\r\n[]]", false, HttpReading::malformed, ""},
    };
    for (const auto& c : cases) {
        long status = 0;
        std::string body;
        EXPECT_EQ(readHttpResponse(c.received, c.ended, 12, status, body), c.reading) << c.received;
        EXPECT_EQ(body, c.body) << c.received;
        EXPECT_EQ(status, c.reading == HttpReading::complete ? 200 : 0) << c.received;
    }
    long status = 0;
    std::string body;
    EXPECT_EQ(readHttpResponse("HTTP/1.0 404 Not Found\r\n\r\n", true, 10, status, body), HttpReading::complete);
    EXPECT_EQ(status, 404);
}

TEST(LoopbackHttp, PathPartsArePercentEncoded) {
    EXPECT_EQ(percentEncoded("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(percentEncoded("a/b ?é"), "a%2Fb%20%3F%C3%A9");
}

TEST(LoopbackHttp, NothingListeningIsRefusedAndAPassedDeadlineIsLate) {
    auto now = std::chrono::steady_clock::now();
    EXPECT_TRUE(loopbackGet(1, "/", 10, std::chrono::seconds(1), now + std::chrono::seconds(1)).refused);
    EXPECT_TRUE(loopbackGet(1, "/", 10, std::chrono::seconds(1), now).late);
}

namespace {

// A local program on the port that answers with an endless chunked body, `chunk` after `chunk`, as fast as the
// client takes it, for at most a few seconds. It notes whether the client hung up while it was still sending.
class EndlessChunks {
public:
    explicit EndlessChunks(std::string chunk) {
        sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
        socklen_t length = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        worker = std::thread([this, chunk = std::move(chunk)] {
            int client = ::accept(listener, nullptr, nullptr);
            char request[4096];
            ::recv(client, request, sizeof request, 0);
            std::string stream = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
            auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (std::chrono::steady_clock::now() < stop) {
                if (::send(client, stream.data(), stream.size(), MSG_NOSIGNAL) < 0) {
                    hungUp = true;
                    break;
                }
                stream.clear();
                while (stream.size() < 64 * 1024)
                    stream += chunk;
            }
            ::close(client);
        });
    }
    ~EndlessChunks() {
        if (worker.joinable()) worker.join();
        ::close(listener);
    }
    // Whether the client went away while the body was still coming.
    bool clientHungUp() {
        worker.join();
        return hungUp;
    }
    int port = 0;

private:
    std::atomic<bool> hungUp = false;
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::thread worker;
};

} // namespace

TEST(LoopbackHttp, EndlessChunksEndAtTheDeadlineOrTheBound) {
    using namespace std::chrono_literals;
    {
        EndlessChunks server("1\r\nx\r\n");
        // A bound far off, so that the deadline comes first.
        auto answer = loopbackGet(server.port, "/json/list", 64u << 20, 10s, std::chrono::steady_clock::now() + 300ms);
        EXPECT_TRUE(answer.late);
        EXPECT_FALSE(answer.answered);
        EXPECT_TRUE(server.clientHungUp());
    }
    {
        // Framing counts against the bound too: chunk extensions carry no data but are not free.
        EndlessChunks server("1;" + std::string(1000, 'e') + "\r\nx\r\n");
        auto answer = loopbackGet(server.port, "/json/list", 4096, 10s, std::chrono::steady_clock::now() + 10s);
        EXPECT_TRUE(answer.tooLarge);
        EXPECT_TRUE(server.clientHungUp());
    }
}

TEST(LoopbackHttp, AResponseFedByteByByteReadsAsAWholeOne) {
    const std::string response =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2;a=b\r\n[{\r\n2\r\n}]\r\n0\r\n"; // trailers are not
                                                                                                // waited for
    HttpResponseReader reader(100);
    for (std::size_t i = 0; i + 1 < response.size(); ++i)
        ASSERT_EQ(reader.feed(response.substr(i, 1)), HttpReading::incomplete) << i;
    EXPECT_EQ(reader.feed(response.substr(response.size() - 1)), HttpReading::complete);
    EXPECT_EQ(reader.body(), "[{}]");
    EXPECT_EQ(reader.status(), 200);
    HttpResponseReader empty(100);
    EXPECT_EQ(empty.feed("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), HttpReading::complete);
}
