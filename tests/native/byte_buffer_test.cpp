// The download buffer's parts, one per connection: a read never mixes two parts, the reader
// meets each part's start once, with its label, and the limit, the positions, peek and
// cancel hold across part boundaries.
#include "stream/byte_buffer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>

using audio::byte_buffer;

namespace {

using clock_type = std::chrono::steady_clock;

const auto generous = std::chrono::seconds(10);

// What one read call gave: its bytes, "@" at a part start, or the end, cancel or time-out.
std::string read_outcome(byte_buffer &buffer, size_t size, byte_buffer::deadline until) {
    std::string bytes(size, '\0');
    long got = buffer.read(reinterpret_cast<uint8_t *>(&bytes[0]), size, until);
    switch (got) {
    case byte_buffer::at_part_start:
        return "@";
    case 0:
        return "<end>";
    case -1:
        return "<cancelled>";
    case -2:
        return "<timeout>";
    }
    if (got < 0 || static_cast<size_t>(got) > size)
        return "<bad " + std::to_string(got) + ">";
    bytes.resize(static_cast<size_t>(got));
    return bytes;
}

// Runs a script of steps separated by spaces against a buffer of `capacity`, on one thread:
//   w:TEXT   write TEXT (must succeed)     x:TEXT   write TEXT, which must be refused
//   p:LABEL  begin a part                  f        finish            c   cancel
//   rN=OUT   read N bytes: OUT is the bytes, @, <end>, <cancelled> or <timeout>
//   t=LABEL  take_part_start gives LABEL   kN=OUT/open or kN=OUT/ended   peek N bytes
//   cap:N    set the capacity              cap=N  the capacity is N
//   at=W/R/B total written, total read and buffered
// Nothing waits: reads and peeks give up at once when their condition is not met.
void run_script(size_t capacity, const std::string &script) {
    byte_buffer buffer(capacity);
    std::istringstream steps(script);
    std::string step;
    while (steps >> step) {
        SCOPED_TRACE("step " + step);
        const size_t split = step.find_first_of(":=");
        const std::string name = step.substr(0, split);
        const char sign = split == std::string::npos ? ' ' : step[split];
        const std::string arg = split == std::string::npos ? "" : step.substr(split + 1);
        auto data = reinterpret_cast<const uint8_t *>(arg.data());
        if (name == "w" || name == "x") {
            if (name == "w") { // a write into a full buffer would wait for this very thread
                ASSERT_LE(buffer.buffered() + arg.size(), buffer.capacity());
            }
            EXPECT_EQ(buffer.write(data, arg.size()), name == "w");
        } else if (name == "p") {
            buffer.begin_part(arg);
        } else if (name == "f") {
            buffer.finish();
        } else if (name == "c") {
            buffer.cancel();
        } else if (name[0] == 'r') {
            EXPECT_EQ(read_outcome(buffer, std::stoul(name.substr(1)), clock_type::now()), arg);
        } else if (name == "t") {
            EXPECT_EQ(buffer.take_part_start(), arg);
        } else if (name[0] == 'k') {
            std::string bytes(std::stoul(name.substr(1)), '\0');
            bool ended = false;
            size_t got = buffer.peek(reinterpret_cast<uint8_t *>(&bytes[0]), bytes.size(),
                                     clock_type::now(), &ended);
            bytes.resize(got);
            EXPECT_EQ(bytes + (ended ? "/ended" : "/open"), arg);
        } else if (name == "cap" && sign == ':') {
            buffer.set_capacity(std::stoul(arg));
        } else if (name == "cap") {
            EXPECT_EQ(std::to_string(buffer.capacity()), arg);
        } else if (name == "at") {
            EXPECT_EQ(std::to_string(buffer.total_written()) + "/" +
                          std::to_string(buffer.total_read()) + "/" +
                          std::to_string(buffer.buffered()),
                      arg);
        } else {
            FAIL() << "unknown step";
        }
    }
}

TEST(ByteBuffer, PartsOnOneThread) {
    struct {
        const char *name;
        size_t capacity;
        const char *script;
    } cases[] = {
        {"a read stops at a part boundary, even when more is asked for", 16,
         "w:abc p:B w:de r8=abc r8=@ r8=@ t=B r8=de r8=<timeout>"},
        {"a read inside a part takes only what is asked", 16,
         "w:abc p:B w:de r2=ab r8=c r8=@ t=B r1=d r1=e"},
        {"a part begun before any byte is met first", 16, "p:A w:xy r8=@ t=A r8=xy"},
        {"a part start is met before its bytes come", 16,
         "w:ab r8=ab p:B r8=@ t=B r8=<timeout> w:c r8=c"},
        {"a part with no bytes is replaced by the next", 16,
         "w:a p:B p:C w:d r8=a r8=@ t=C r8=d r8=<timeout>"},
        {"one-byte parts, each met once", 16,
         "p:A w:1 p:B w:2 p:C w:3 r8=@ t=A r8=1 r8=@ t=B r8=2 r8=@ t=C r8=3 t= r8=<timeout>"},
        {"take away from a part start gives nothing and moves nothing", 16,
         "w:ab p:B w:c t= r1=a t= r8=b t=B r8=c"},
        {"a finished buffer is drained across its parts, then ends", 16,
         "w:ab p:B w:c f r8=ab r8=@ t=B r8=c r8=<end> r8=<end>"},
        {"positions count every part's bytes", 16,
         "w:abc p:B w:de at=5/0/5 r8=abc at=5/3/2 r8=@ t=B at=5/3/2 r1=d at=5/4/1"},
        {"peek sees only the current part, and that it has ended", 16,
         "w:abc p:B w:de k8=abc/ended k2=ab/ended r1=a k8=bc/ended r8=bc"},
        {"peek at a part start sees the new part's bytes", 16,
         "w:ab p:B w:cd r8=ab r8=@ k8=cd/open k1=c/open t=B r8=cd"},
        {"after the finish every part has ended", 16,
         "w:ab p:B w:cd f k8=ab/ended r8=ab r8=@ t=B k8=cd/ended r8=cd r8=<end>"},
        {"peek wider than the limit raises it", 2, "w:ab k4=ab/open cap=4 w:cd k4=abcd/open"},
        {"the ring wraps inside a part and across a boundary", 4,
         "w:abc r2=ab w:de p:B w:f at=6/2/4 r8=cde r8=@ t=B r8=f w:gh r8=gh"},
        {"a smaller limit keeps what is buffered", 8,
         "w:abcdef p:B w:gh cap:2 cap=2 at=8/0/8 r8=abcdef r8=@ t=B r8=gh"},
        {"cancel stops reader and writer with parts pending", 16,
         "w:ab p:B w:c c r8=<cancelled> x:d t= k8=ab/ended at=3/0/3"},
        {"cancel at a part start", 16, "w:ab p:B r8=ab c r8=<cancelled> t=B"},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        run_script(each.capacity, each.script);
    }
}

// A writer that fills a small buffer many times over, with parts of uneven lengths, and a
// reader taking a few bytes at a time: every byte arrives once, in its own part, each part
// start is met once with its label, and the buffer never holds more than its limit.
TEST(ByteBuffer, PartsPassThroughASmallBufferIntactAndWithinItsLimit) {
    const size_t capacity = 5;
    byte_buffer buffer(capacity);
    std::string expected;
    std::thread writer([&] {
        for (int part = 0; part < 40; ++part) {
            buffer.begin_part("part " + std::to_string(part));
            std::string bytes(static_cast<size_t>(part * 7 % 13 + 1),
                              static_cast<char>('A' + part % 26));
            EXPECT_TRUE(
                buffer.write(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
        }
        buffer.finish();
    });
    for (int part = 0; part < 40; ++part)
        expected +=
            "<part " + std::to_string(part) + ">" +
            std::string(static_cast<size_t>(part * 7 % 13 + 1), static_cast<char>('A' + part % 26));
    std::string heard;
    for (;;) {
        std::string outcome = read_outcome(buffer, 3, clock_type::now() + generous);
        EXPECT_LE(buffer.buffered(), capacity);
        if (outcome == "@")
            heard += "<" + buffer.take_part_start() + ">";
        else if (outcome.size() <= 3 && outcome[0] != '<')
            heard += outcome;
        else
            break;
        // A part's bytes are all one letter: a read that crossed a boundary would mix two.
        EXPECT_EQ(outcome.find_first_not_of(outcome[0]), std::string::npos) << outcome;
    }
    writer.join();
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(buffer.total_read(), buffer.total_written());
}

// A reader waiting on an empty buffer learns of a new connection without a byte of it, and
// a writer held by the limit is released by a cancel.
TEST(ByteBuffer, WaitersWakeForAPartStartAndForACancel) {
    byte_buffer buffer(2);
    // The part begins from another thread, which starts after this one is already waiting.
    std::thread connection([&] { buffer.begin_part("next"); });
    const auto until = clock_type::now() + generous;
    EXPECT_EQ(read_outcome(buffer, 8, until), "@");
    // At its deadline a read sees the part start too: before it, the new part woke it.
    EXPECT_LT(clock_type::now(), until);
    connection.join();
    EXPECT_EQ(buffer.take_part_start(), "next");

    bool written = true;
    std::thread writer([&] {
        const uint8_t bytes[4] = {1, 2, 3, 4};
        written = buffer.write(bytes, sizeof bytes); // two more than the limit
    });
    // The writer's first two bytes are in once a peek of two sees them.
    uint8_t seen[2];
    EXPECT_EQ(buffer.peek(seen, 2, clock_type::now() + generous), 2u);
    buffer.cancel();
    writer.join();
    EXPECT_FALSE(written);
    EXPECT_EQ(buffer.total_written(), 2u);
}

} // namespace
