// The rules of one hand-over message, without any pipe: built for Windows and
// natively.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handover/message_buffer.h"

namespace {

using quenda::handover::MessageBuffer;

// The message rules at their edges: where the zero lies against the maximum.
TEST(MessageBuffer, ZeroWithinTheMaximumEndsTheMessageElseItIsTooLong) {
    struct Case {
        const char* name;
        std::size_t max_bytes;
        std::vector<std::string> reads;
        MessageBuffer::State last;
        std::string message;
    };
    const Case cases[] = {
        {"zero in the last byte allowed", 4, {std::string("abc\0", 4)}, MessageBuffer::State::Complete, "abc"},
        {"maximum reached without zero", 4, {"abcd"}, MessageBuffer::State::TooLong, "abcd"},
        {"zero just past the maximum", 4, {std::string("abcd\0", 5)}, MessageBuffer::State::TooLong, "abcd"},
        {"zero in a later read, rest ignored", 64, {"ab", std::string("c\0de", 4)}, MessageBuffer::State::Complete,
         "abc"},
        {"only the zero", 1, {std::string("\0", 1)}, MessageBuffer::State::Complete, ""},
        {"empty read changes nothing", 8, {"", "a"}, MessageBuffer::State::NeedMore, "a"},
    };
    for (const Case& c : cases) {
        MessageBuffer buffer(c.max_bytes);
        MessageBuffer::State state = MessageBuffer::State::NeedMore;
        for (const std::string& read : c.reads) state = buffer.Add(read.data(), read.size());
        EXPECT_EQ(state, c.last) << c.name;
        EXPECT_EQ(buffer.message(), c.message) << c.name;
    }
}

}  // namespace
