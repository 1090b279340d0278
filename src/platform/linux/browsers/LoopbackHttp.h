#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace knokle {

// What one GET on 127.0.0.1 came to.
struct HttpAnswer {
    bool answered = false; // a whole, well-formed response arrived
    bool refused = false;  // nothing listens on the port
    bool tooLarge = false; // the body grew past the limit
    bool late = false;     // the deadline passed first
    long status = 0;
    std::string body;
};

enum class HttpReading { incomplete, complete, malformed, tooLarge };

// Reads a response as it arrives, each byte looked at once, so that a peer sending endless tiny chunks costs
// linear time. Bounds: the head, each chunk's size line, the decoded body (`maxBody`) and everything received
// after the head (twice `maxBody`, so that framing cannot stand in for data).
class HttpResponseReader {
public:
    explicit HttpResponseReader(std::size_t maxBody) : maxBody(maxBody) {}
    HttpReading feed(std::string_view bytes);
    HttpReading endOfStream(); // the peer closed its side
    long status() const { return statusCode; }
    const std::string& body() const { return decoded; }

private:
    enum class Stage { head, byLength, untilEnd, chunkLine, chunkData, chunkEnd, done };
    HttpReading fail(HttpReading reading);
    HttpReading step(std::string_view& bytes);
    HttpReading startBody(std::string_view head);

    std::size_t maxBody;
    Stage stage = Stage::head;
    HttpReading outcome = HttpReading::incomplete;
    std::string pending;  // the head, or a chunk's size line, until it ends
    std::size_t left = 0; // bytes of the body or of the chunk still to come
    std::size_t afterHead = 0;
    long statusCode = 0;
    std::string decoded;
};

// Reads a response from what has been received so far. A body ends at its Content-Length, at the last chunk of
// a chunked one, else at the end of the stream (`streamEnded`). On `complete`, `status` and `body` are set.
HttpReading readHttpResponse(std::string_view received, bool streamEnded, std::size_t maxBody, long& status,
                             std::string& body);

// "GET path" on 127.0.0.1:port, given at most `timeout` and never past `deadline`. A plain socket rather than
// an HTTP library: the endpoint is on this machine, and the program starts faster without one.
HttpAnswer loopbackGet(int port, const std::string& path, std::size_t maxBody, std::chrono::milliseconds timeout,
                       std::chrono::steady_clock::time_point deadline);

// The text with every byte but letters, digits and "-._~" written as %XX, for one part of a path.
std::string percentEncoded(std::string_view text);

} // namespace knokle
