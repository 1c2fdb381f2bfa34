// A stand-in for the station on this machine: listens on 127.0.0.1 (never on another
// address), and sends each client that connects a number of blocks of bytes, then closes
// in order or resets the connection. For demos and end-to-end checks of the monitor.
//
//   kelvor-station-sim [--port N] [--blocks N] [--block-size N] [--interval-ms N]
//                      [--end close|reset|stay] [--once]

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    int port = 1236;
    long blocks = 16;
    int blockSize = 64;
    int intervalMs = 250;
    std::string end = "close";
    bool once = false;
};

[[noreturn]] void Usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--port N] [--blocks N] [--block-size N] [--interval-ms N]\n"
                 "          [--end close|reset|stay] [--once]\n",
                 program);
    std::exit(2);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Usage(argv[0]);
            return argv[++i];
        };
        if (arg == "--port")
            o.port = std::atoi(value().c_str());
        else if (arg == "--blocks")
            o.blocks = std::atol(value().c_str());
        else if (arg == "--block-size")
            o.blockSize = std::atoi(value().c_str());
        else if (arg == "--interval-ms")
            o.intervalMs = std::atoi(value().c_str());
        else if (arg == "--end")
            o.end = value();
        else if (arg == "--once")
            o.once = true;
        else
            Usage(argv[0]);
    }
    if (o.port <= 0 || o.port > 65535 || o.blockSize <= 0 || o.blocks < 0 || o.intervalMs < 0 ||
        (o.end != "close" && o.end != "reset" && o.end != "stay"))
        Usage(argv[0]);
    return o;
}

bool SendAll(int fd, const std::vector<unsigned char>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void Serve(int fd, const Options& o, std::mt19937& random) {
    std::vector<unsigned char> block(static_cast<std::size_t>(o.blockSize));
    long sent = 0;
    for (; sent < o.blocks; ++sent) {
        for (auto& b : block)
            b = static_cast<unsigned char>(random());
        if (!SendAll(fd, block))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(o.intervalMs));
    }
    std::printf("sent %ld blocks of %d bytes\n", sent, o.blockSize);
    if (o.end == "reset") {
        linger l{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else if (o.end == "stay") {
        char sink[256];
        while (::recv(fd, sink, sizeof sink, 0) > 0) {
        }
    } else {
        ::shutdown(fd, SHUT_WR);
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(o.port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // this machine only
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 ||
        ::listen(listener, 4) < 0) {
        std::perror("listen on 127.0.0.1");
        return 1;
    }
    std::printf("station listening on 127.0.0.1:%d\n", o.port);
    std::fflush(stdout);
    std::mt19937 random(1236);
    do {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            std::perror("accept");
            continue;
        }
        std::printf("client connected\n");
        Serve(fd, o, random);
        std::fflush(stdout);
    } while (!o.once);
    ::close(listener);
    return 0;
}
