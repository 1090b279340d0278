#include "platform/linux/browsers/LoopbackHttp.h"

#include <gtest/gtest.h>

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
