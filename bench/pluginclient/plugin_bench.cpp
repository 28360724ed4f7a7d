// Plug-in client transfers over loopback against orvane-plugind, each beside a plain
// read/write socket copy of the same bytes through the same server in the same run.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "orvane.h"
#include "pluginclient/servers.hpp"

namespace {

constexpr std::size_t kBigFile = std::size_t{256} << 20;
constexpr std::size_t kPlainChunk = std::size_t{1} << 20;

// The scratch directory with the 256 MiB file, and the server that serves it; both go
// away when the program ends.
struct Setup {
    std::string dir, big, out;
    std::unique_ptr<plugtest::Daemon> daemon;
    Setup() {
        char name[] = "/tmp/orvane-plugbench-XXXXXX";
        dir = ::mkdtemp(name);
        big = dir + "/big.bin";
        out = dir + "/out.bin";
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 2654435761u >> 13);
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (std::size_t done = 0; done < kBigFile; done += block.size())
            if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) std::abort();
        ::close(fd);
        daemon = std::make_unique<plugtest::Daemon>(dir);
    }
    ~Setup() {
        daemon.reset();
        std::filesystem::remove_all(dir);
    }
    const char* port() const { return daemon->port().c_str(); }
};

Setup& setup() {
    static Setup s;
    return s;
}

// --- the plain copy: the same wire bytes with bare read/write calls -------------------

bool readAll(int fd, void* p, std::size_t n) { return plugtest::readExactly(fd, p, n, 20); }
bool writeAll(int fd, const void* p, std::size_t n) {
    const char* c = static_cast<const char*>(p);
    while (n > 0) {
        const ssize_t w = ::write(fd, c, n);
        if (w <= 0) return false;
        c += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

int plainOpen(const std::string& init) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int noDelay = 1;  // as the library does: no Nagle stall between header and data
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(std::atoi(setup().port())));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char banner[1024], ok[7];
    const std::string message = "%" + init + std::string(1, '\0');
    if (::connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::recv(fd, banner, sizeof banner, 0) <= 0 ||
        !writeAll(fd, message.data(), message.size()) || !readAll(fd, ok, 7))
        std::abort();
    return fd;
}

void plainClose(int fd) {
    writeAll(fd, "X", 1);
    ::shutdown(fd, SHUT_WR);
    char sink[1024];
    while (::read(fd, sink, sizeof sink) > 0) {
    }
    ::close(fd);
}

void plainHeader(int fd, char type, std::size_t size) {
    const std::string header = type + plugtest::le32(static_cast<int>(size));
    if (!writeAll(fd, header.data(), 5)) std::abort();
}

std::size_t plainReplySize(int fd) {
    unsigned char size[4];
    if (!readAll(fd, size, 4)) std::abort();
    return size[0] | size[1] << 8 | size[2] << 16 | static_cast<std::size_t>(size[3]) << 24;
}

// --- benchmarks ----------------------------------------------------------------------

socketData* openPlugin(const char* init) {
    socketData* c = nullptr;
    if (tqServer_openConnectionToPlugin(&c, "127.0.0.1", setup().port(), init, nullptr) != 0) std::abort();
    return c;
}

void SendFile_Library(benchmark::State& state) {
    socketData* c = openPlugin("count");
    for (auto _ : state) {
        void* reply = nullptr;
        int size = 0;
        if (tqServer_sendFileToPlugin(c, setup().big.c_str()) != 0 || tqServer_getDataFromPlugin(c, &reply, &size) != 0)
            state.SkipWithError("transfer failed");
        tqMisc_freeBuffer(&reply);
    }
    state.counters["chunk"] = c->maxSendBufSize;
    tqServer_closeConnectionToPlugin(c);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigFile));
}

void SendFile_Plain(benchmark::State& state) {
    const int fd = plainOpen("count");
    std::vector<char> buffer(kPlainChunk);
    for (auto _ : state) {
        const int in = ::open(setup().big.c_str(), O_RDONLY);
        plainHeader(fd, 'F', kBigFile);
        ssize_t n;
        while ((n = ::read(in, buffer.data(), buffer.size())) > 0) writeAll(fd, buffer.data(), static_cast<std::size_t>(n));
        ::close(in);
        char count[64];
        const std::size_t size = plainReplySize(fd);
        if (size > sizeof count || !readAll(fd, count, size)) state.SkipWithError("transfer failed");
    }
    plainClose(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigFile));
}

void GetFile_Library(benchmark::State& state) {
    socketData* c = openPlugin("fetch");
    for (auto _ : state) {
        if (tqServer_sendBufferToPlugin(c, "big.bin", 7) != 0 || tqServer_getFileFromPlugin(c, setup().out.c_str()) != 0)
            state.SkipWithError("transfer failed");
    }
    state.counters["piece"] = c->maxReceiveBufSize;
    tqServer_closeConnectionToPlugin(c);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigFile));
}

void GetFile_Plain(benchmark::State& state) {
    const int fd = plainOpen("fetch");
    std::vector<char> buffer(kPlainChunk);
    for (auto _ : state) {
        plainHeader(fd, 'B', 7);
        writeAll(fd, "big.bin", 7);
        std::size_t left = plainReplySize(fd);
        const int out = ::open(setup().out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        while (left > 0) {
            const ssize_t n = ::read(fd, buffer.data(), std::min(left, buffer.size()));
            if (n <= 0) break;
            writeAll(out, buffer.data(), static_cast<std::size_t>(n));
            left -= static_cast<std::size_t>(n);
        }
        ::close(out);
    }
    plainClose(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigFile));
}

void RoundTrip_Library(benchmark::State& state) {
    const std::vector<char> payload(static_cast<std::size_t>(state.range(0)), 'p');
    socketData* c = openPlugin("echo");
    for (auto _ : state) {
        void* reply = nullptr;
        int size = 0;
        if (tqServer_sendBufferToPlugin(c, payload.data(), static_cast<int>(payload.size())) != 0 ||
            tqServer_getDataFromPlugin(c, &reply, &size) != 0 || size != static_cast<int>(payload.size()))
            state.SkipWithError("round trip failed");
        tqMisc_freeBuffer(&reply);
    }
    tqServer_closeConnectionToPlugin(c);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.size() * 2));
}

void RoundTrip_Plain(benchmark::State& state) {
    const std::vector<char> payload(static_cast<std::size_t>(state.range(0)), 'p');
    const int fd = plainOpen("echo");
    for (auto _ : state) {
        plainHeader(fd, 'B', payload.size());
        writeAll(fd, payload.data(), payload.size());
        std::vector<char> reply(plainReplySize(fd));
        if (!readAll(fd, reply.data(), reply.size())) state.SkipWithError("round trip failed");
        benchmark::DoNotOptimize(reply.data());
    }
    plainClose(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.size() * 2));
}

}  // namespace

BENCHMARK(SendFile_Library)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SendFile_Plain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GetFile_Library)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GetFile_Plain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RoundTrip_Library)->Arg(1024)->Arg(1 << 20)->UseRealTime();
BENCHMARK(RoundTrip_Plain)->Arg(1024)->Arg(1 << 20)->UseRealTime();

BENCHMARK_MAIN();
