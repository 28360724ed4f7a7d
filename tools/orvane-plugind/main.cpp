// orvane-plugind: a plug-in server for the tqServer_ client. One thread per connection.
//
// Wire format (all sizes signed 32-bit, least significant byte first):
//   server: banner text                   client: '%' INIT '\0'
//   server: "OK" + "0.1.0" (or "NO")      client: 'B'|'F' SIZE DATA ... , 'X' to close
//   server: SIZE DATA as each reply
//
// The init sequence names a service and, optionally, how many segments make up one
// request (default 1): "echo", "sum3", "store2", ...
//   echo   the request's segments back, concatenated, as one reply
//   sum    "CRC32 SHA1 BYTES\n" (hex, hex, decimal) of the request's bytes
//   count  "BYTES\n": the data is read and dropped (for measuring transfers)
//   store  each segment is saved as a new file in the directory; the reply lists the
//          new file names, one a line
//   fetch  each segment holds a file name in the directory; the reply is that file
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kEchoLimit = std::size_t{1} << 30;  // what one echo request may hold
constexpr int kIdleSeconds = 300;                           // an idle client is dropped after this

struct Options {
    std::string address = "127.0.0.1";
    std::string directory = ".";
    bool verbose = false;
};
Options gOptions;

void note(const char* format, const std::string& detail) {
    if (gOptions.verbose) std::fprintf(stderr, format, detail.c_str());
}

bool readFull(int fd, void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFull(int fd, const void* buffer, std::size_t size) {
    auto* p = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sendReply(int fd, const void* data, std::size_t size) {
    unsigned char header[4];
    const auto u = static_cast<std::uint32_t>(size);
    for (int i = 0; i < 4; ++i) header[i] = static_cast<unsigned char>(u >> (8 * i));
    if (size > 65536) return writeFull(fd, header, 4) && writeFull(fd, data, size);
    // A small reply goes out in one piece, size and data together.
    std::string whole(reinterpret_cast<const char*>(header), 4);
    whole.append(static_cast<const char*>(data), size);
    return writeFull(fd, whole.data(), whole.size());
}

// A file name inside the served directory: no separators, no "." or "..".
bool plainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool sendFileReply(int fd, const std::string& name) {
    if (!plainName(name)) return false;
    const std::string path = gOptions.directory + "/" + name;
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    bool ok = ::fstat(in, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= INT32_MAX;
    if (ok) {
        unsigned char header[4];
        const auto u = static_cast<std::uint32_t>(st.st_size);
        for (int i = 0; i < 4; ++i) header[i] = static_cast<unsigned char>(u >> (8 * i));
        ok = writeFull(fd, header, 4);
        std::vector<char> buffer(kChunk);
        for (off_t left = st.st_size; ok && left > 0;) {
            const ssize_t n = ::read(in, buffer.data(), static_cast<std::size_t>(std::min<off_t>(left, kChunk)));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = false;  // the file shrank: the announced size can no longer be met
                break;
            }
            ok = writeFull(fd, buffer.data(), static_cast<std::size_t>(n));
            left -= n;
        }
    }
    ::close(in);
    return ok;
}

class Session {
public:
    Session(int fd, std::string service, int perRequest)
        : fd_(fd), service_(std::move(service)), perRequest_(perRequest), sha_(EVP_MD_CTX_new()) {
        reset();
    }
    ~Session() { EVP_MD_CTX_free(sha_); }

    // Takes one segment of `size` bytes from the socket; false ends the connection.
    bool segment(std::size_t size) {
        int out = -1;
        std::string stored;
        if (service_ == "store") {
            std::string pattern = gOptions.directory + "/upload-XXXXXX";
            out = ::mkstemp(pattern.data());
            if (out < 0) return false;
            stored = pattern.substr(pattern.rfind('/') + 1);
        }
        std::string name;
        bool ok = true;
        std::vector<char>& buffer = chunk_;
        for (std::size_t left = size; ok && left > 0;) {
            const std::size_t n = std::min(left, kChunk);
            ok = readFull(fd_, buffer.data(), n);
            if (!ok) break;
            left -= n;
            if (service_ == "echo") {
                ok = echo_.size() + n <= kEchoLimit;
                if (ok) echo_.insert(echo_.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
            } else if (service_ == "sum") {
                crc_ = ::crc32_z(crc_, reinterpret_cast<const Bytef*>(buffer.data()), n);
                ok = EVP_DigestUpdate(sha_, buffer.data(), n) == 1;
            } else if (service_ == "store") {
                for (std::size_t done = 0; ok && done < n;) {
                    const ssize_t w = ::write(out, buffer.data() + done, n - done);
                    if (w < 0 && errno == EINTR) continue;
                    ok = w > 0;
                    if (ok) done += static_cast<std::size_t>(w);
                }
            } else if (service_ == "fetch") {
                ok = name.size() + n <= 4096;
                if (ok) name.append(buffer.data(), n);
            }
            bytes_ += n;
        }
        if (out >= 0) {
            ok = ::close(out) == 0 && ok;
            if (ok) {
                listing_ += stored + "\n";
            } else {
                ::unlink((gOptions.directory + "/" + stored).c_str());
            }
        }
        if (!ok) return false;
        if (service_ == "fetch") {
            note("orvane-plugind: fetch %s\n", name);
            return sendFileReply(fd_, name);
        }
        if (++segments_ < perRequest_) return true;
        const bool sent = reply();
        reset();
        return sent;
    }

private:
    bool reply() {
        if (service_ == "echo") return sendReply(fd_, echo_.data(), echo_.size());
        char text[128];
        if (service_ == "sum") {
            unsigned char digest[EVP_MAX_MD_SIZE];
            unsigned int length = 0;
            if (EVP_DigestFinal_ex(sha_, digest, &length) != 1) return false;
            int at = std::snprintf(text, sizeof text, "%08lx ", static_cast<unsigned long>(crc_));
            for (unsigned i = 0; i < length; ++i) at += std::snprintf(text + at, sizeof text - at, "%02x", digest[i]);
            std::snprintf(text + at, sizeof text - at, " %llu\n", bytes_);
            return sendReply(fd_, text, std::strlen(text));
        }
        if (service_ == "count") {
            std::snprintf(text, sizeof text, "%llu\n", bytes_);
            return sendReply(fd_, text, std::strlen(text));
        }
        return sendReply(fd_, listing_.data(), listing_.size());  // store
    }

    void reset() {
        segments_ = 0;
        bytes_ = 0;
        crc_ = ::crc32_z(0, nullptr, 0);
        EVP_DigestInit_ex(sha_, EVP_sha1(), nullptr);
        echo_.clear();
        listing_.clear();
    }

    int fd_;
    std::string service_;
    int perRequest_;
    EVP_MD_CTX* sha_;
    int segments_ = 0;
    unsigned long long bytes_ = 0;
    uLong crc_ = 0;
    std::vector<char> echo_;
    std::vector<char> chunk_ = std::vector<char>(kChunk);
    std::string listing_;
};

// "sum3" -> ("sum", 3); a bare name asks for one segment per request.
bool parseInit(const std::string& init, std::string& service, int& perRequest) {
    const std::size_t digits = init.find_first_of("0123456789");
    service = init.substr(0, digits);
    perRequest = 1;
    if (digits != std::string::npos) {
        const std::string count = init.substr(digits);
        if (count.size() > 4 || count.find_first_not_of("0123456789") != std::string::npos) return false;
        perRequest = std::atoi(count.c_str());
        if (perRequest < 1) return false;
    }
    return service == "echo" || service == "sum" || service == "count" || service == "store" ||
           service == "fetch";
}

void serve(int fd) {
    const timeval idle{kIdleSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
    const int noDelay = 1;  // replies are written as size and data: do not hold the data back
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const std::string banner = "orvane-plugind " ORVANE_VERSION_STRING " ready";
    if (writeFull(fd, banner.data(), banner.size())) {
        // '%', the init sequence, a zero byte.
        std::string init;
        char c = 0;
        bool ok = readFull(fd, &c, 1) && c == '%';
        while (ok && readFull(fd, &c, 1) && c != '\0') {
            init += c;
            ok = init.size() <= 64;
        }
        std::string service;
        int perRequest = 1;
        if (ok && c == '\0' && parseInit(init, service, perRequest)) {
            note("orvane-plugind: session '%s'\n", init);
            writeFull(fd, "OK0.1.0", 7);
            Session session(fd, service, perRequest);
            for (;;) {
                char type = 0;
                unsigned char size[4];
                if (!readFull(fd, &type, 1) || type == 'X') break;
                if ((type != 'B' && type != 'F') || !readFull(fd, size, 4)) break;
                const std::int32_t n = static_cast<std::int32_t>(size[0] | size[1] << 8 | size[2] << 16 |
                                                                 static_cast<std::uint32_t>(size[3]) << 24);
                if (n < 0 || !session.segment(static_cast<std::size_t>(n))) break;
            }
        } else if (ok) {
            note("orvane-plugind: refused '%s'\n", init);
            writeFull(fd, "NO", 2);
        }
    }
    ::close(fd);
}

// The help text, also the source of the manual page: usage, description, options, example.
int usage(std::FILE* to, int status) {
    std::fprintf(to,
                 "usage: orvane-plugind [-b ADDRESS] [-d DIRECTORY] [-v] PORT\n\n"
                 "Serves plug-in clients on ADDRESS:PORT (127.0.0.1 by default; PORT 0 picks a\n"
                 "free port). Prints 'orvane-plugind listening on ADDRESS:PORT' once ready.\n"
                 "Services (init sequence): echo, sum, count, store, fetch, each optionally\n"
                 "followed by the number of segments per request, e.g. 'sum3'.\n\n"
                 "Options:\n"
                 "  -b ADDRESS\n"
                 "      the IPv4 address to listen on (default 127.0.0.1)\n"
                 "  -d DIRECTORY\n"
                 "      where store saves and fetch reads files (default: the current one)\n"
                 "  -v\n"
                 "      report connections and requests on standard error\n"
                 "  -h, --help\n"
                 "      show this help and exit\n"
                 "  --version\n"
                 "      show the version and exit\n\n"
                 "Example:\n"
                 "  orvane-plugind -d /srv/plugin 5400 &\n"
                 "  orvane plugin send 127.0.0.1 5400 sum --text hello\n");
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const char* portText = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "-b" || a == "-d") && i + 1 < argc) {
            (a == "-b" ? gOptions.address : gOptions.directory) = argv[++i];
        } else if (a == "-v") {
            gOptions.verbose = true;
        } else if (a == "-h" || a == "--help") {
            return usage(stdout, 0);
        } else if (a == "--version") {
            std::printf("orvane-plugind %s\n", ORVANE_VERSION_STRING);
            return 0;
        } else if (!portText && !a.empty() && a[0] != '-') {
            portText = argv[i];
        } else {
            return usage(stderr, 2);
        }
    }
    char* end = nullptr;
    const long port = portText ? std::strtol(portText, &end, 10) : -1;
    if (!portText || *end || port < 0 || port > 65535) return usage(stderr, 2);

    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, gOptions.address.c_str(), &at.sin_addr) != 1) {
        std::fprintf(stderr, "orvane-plugind: '%s' is not an IPv4 address\n", gOptions.address.c_str());
        return 2;
    }
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    socklen_t len = sizeof at;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(listener, 64) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
        std::fprintf(stderr, "orvane-plugind: cannot listen on %s:%ld: %s\n", gOptions.address.c_str(), port,
                     std::strerror(errno));
        return 1;
    }
    std::printf("orvane-plugind listening on %s:%u\n", gOptions.address.c_str(), ntohs(at.sin_port));
    std::fflush(stdout);
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));  // wait for a free descriptor
                continue;
            }
            std::fprintf(stderr, "orvane-plugind: accept: %s\n", std::strerror(errno));
            return 1;
        }
        try {
            std::thread(serve, fd).detach();
        } catch (...) {
            ::close(fd);  // no thread to spare: drop this client, keep serving the others
        }
    }
}
