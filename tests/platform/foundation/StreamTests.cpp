#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Stream.h"
#include "platform/foundation/URL.h"
#include "tests/support/HostileFiles.h"

using namespace ql::ns;

namespace {

std::string readAll(InputStream& stream, std::size_t slice) {
    std::string out;
    std::vector<std::uint8_t> buffer(slice);
    for (;;) {
        const std::int64_t count = stream.read(buffer.data(), buffer.size());
        if (count <= 0) break;
        out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(count));
    }
    return out;
}

}  // namespace

TEST(StreamTests, InputStreamsReadDataAndFiles) {
    auto data = InputStream::inputStreamWithData(Data(std::string_view("hello, stream")));
    std::uint8_t byte;
    EXPECT_EQ(data->read(&byte, 1), -1);  // not open yet
    data->open();
    EXPECT_TRUE(data->hasBytesAvailable());
    EXPECT_EQ(readAll(*data, 4), "hello, stream");
    EXPECT_EQ(data->streamStatus(), StreamStatus::AtEnd);
    EXPECT_FALSE(data->hasBytesAvailable());
    data->close();
    EXPECT_EQ(data->read(&byte, 1), 0);

    TemporarySandbox sandbox;
    const std::string path = sandbox.path() + "/in.txt";
    std::ofstream(path) << "file contents";
    auto file = InputStream::inputStreamWithURL(URL::fileURLWithPath(path, false));
    file->open();
    EXPECT_EQ(readAll(*file, 5), "file contents");
    EXPECT_EQ(file->propertyForKey(StreamFileCurrentOffsetKey).uint64Value(), 13u);

    auto missing = InputStream::inputStreamWithFileAtPath(sandbox.path() + "/missing");
    missing->open();
    EXPECT_EQ(missing->streamStatus(), StreamStatus::Error);
    EXPECT_EQ(missing->streamError()->domain(), POSIXErrorDomain);
    EXPECT_EQ(missing->read(&byte, 1), -1);
    EXPECT_FALSE(InputStream::inputStreamWithURL(*URL::fromString("http://h/")));
}

TEST(StreamTests, AFileStreamReadsOnlyARegularFileAndNeverWaitsToOpen) {
    TemporarySandbox sandbox;
    const std::string path = sandbox.path() + "/photo.jpg";
    for (const ql::test::HostileFile kind : ql::test::hostileFiles()) {
        ql::test::placeHostileFile(kind, path, 1 << 20);
        const ql::test::HangGuard guard("a stream on " + ql::test::describe(kind));
        auto stream = InputStream::inputStreamWithFileAtPath(path);
        stream->open();
        std::uint8_t byte = 0;
        if (kind == ql::test::HostileFile::Oversized) {
            // Large is no reason to refuse a stream: it is read a piece at a time.
            EXPECT_EQ(stream->streamStatus(), StreamStatus::Open);
            EXPECT_EQ(stream->read(&byte, 1), 1);
            continue;
        }
        EXPECT_EQ(stream->streamStatus(), StreamStatus::Error) << ql::test::describe(kind);
        EXPECT_EQ(stream->streamError()->code(), ENOTSUP) << ql::test::describe(kind);
        EXPECT_EQ(stream->read(&byte, 1), -1);
    }
    auto folder = InputStream::inputStreamWithFileAtPath(sandbox.path());
    folder->open();
    EXPECT_EQ(folder->streamStatus(), StreamStatus::Error);
    EXPECT_EQ(folder->streamError()->code(), EISDIR);

    // Writing: a FIFO is refused whether or not something reads it, never waited on, never written into.
    const std::string fifo = sandbox.path() + "/body.part";
    ql::test::placeHostileFile(ql::test::HostileFile::FIFO, fifo, 0);
    const ql::test::HangGuard guard("a stream into a FIFO");
    auto unread = OutputStream::outputStreamToFileAtPath(fifo, false);
    unread->open();
    EXPECT_EQ(unread->streamStatus(), StreamStatus::Error);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    auto read = OutputStream::outputStreamToFileAtPath(fifo, true);
    read->open();
    EXPECT_EQ(read->streamStatus(), StreamStatus::Error);
    EXPECT_EQ(read->streamError()->code(), ENOTSUP);
    ::close(reader);
}

TEST(StreamTests, OutputStreamsWriteToMemoryAndFiles) {
    auto memory = OutputStream::outputStreamToMemory();
    EXPECT_EQ(memory->write(reinterpret_cast<const std::uint8_t*>("x"), 1), -1);  // not open yet
    memory->open();
    EXPECT_TRUE(memory->hasSpaceAvailable());
    memory->write(reinterpret_cast<const std::uint8_t*>("abc"), 3);
    memory->write(reinterpret_cast<const std::uint8_t*>("def"), 3);
    EXPECT_EQ(memory->propertyForKey(StreamDataWrittenToMemoryStreamKey).asData()->toString(), "abcdef");
    EXPECT_TRUE(memory->propertyForKey(StreamFileCurrentOffsetKey).isNil());

    TemporarySandbox sandbox;
    const std::string path = sandbox.path() + "/out.txt";
    for (bool append : {false, true}) {
        auto file = OutputStream::outputStreamToFileAtPath(path, append);
        file->open();
        file->write(reinterpret_cast<const std::uint8_t*>("12345"), 5);
        EXPECT_EQ(file->propertyForKey(StreamFileCurrentOffsetKey).uint64Value(), append ? 10u : 5u);
        file->close();
    }
    auto back = InputStream::inputStreamWithFileAtPath(path);
    back->open();
    EXPECT_EQ(readAll(*back, 64), "1234512345");

    auto unwritable = OutputStream::outputStreamToFileAtPath(sandbox.path() + "/no/such/dir", false);
    unwritable->open();
    EXPECT_EQ(unwritable->streamStatus(), StreamStatus::Error);
}

TEST(StreamTests, BoundStreamsCarryBytesAcrossThreads) {
    auto [input, output] = Stream::getBoundStreams(16);
    input->open();
    output->open();
    std::string sent;
    for (int i = 0; i < 1000; ++i) sent += static_cast<char>('a' + i % 26);
    std::thread writer([&, output = output] {
        std::size_t at = 0;
        while (at < sent.size()) {
            const auto count = output->write(reinterpret_cast<const std::uint8_t*>(sent.data()) + at, sent.size() - at);
            ASSERT_GT(count, 0);
            at += static_cast<std::size_t>(count);
        }
        output->close();
    });
    EXPECT_EQ(readAll(*input, 7), sent);  // the buffer is smaller than the message: writes wait for reads
    writer.join();
    EXPECT_EQ(input->streamStatus(), StreamStatus::AtEnd);

    // Once the reading end is gone, writing fails instead of waiting for ever.
    auto [reader, writer2] = Stream::getBoundStreams(4);
    writer2->open();
    reader.reset();
    EXPECT_EQ(writer2->write(reinterpret_cast<const std::uint8_t*>("abcd"), 4), -1);
    EXPECT_EQ(writer2->streamStatus(), StreamStatus::Error);
}
