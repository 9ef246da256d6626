// payload: packs files into the updater's payload format and unpacks them again.
//
//   payload pack [--fast] IN OUT   writes the payload for the file IN to OUT: the
//                                  smallest the format allows, or with --fast the
//                                  greedy packer's, sooner
//   payload unpack IN OUT          decodes the payload IN into the file OUT
//   payload info IN                prints the header fields of the payload IN
//
// OUT appears only when the command succeeds: the bytes go to a temporary file
// beside it, which is renamed over OUT at the end and removed on any failure.
// unpack streams: it reads IN with one request into the decoder's buffer and hands
// every block the decoder writes straight to the file, so that its memory is the
// decoder's own (PackedSize + 256 + 3 MiB), however large OUT becomes.
// Exit status: 0 on success, 1 on failure (the reason on stderr), 2 on bad usage.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PayloadDecoder.h"
#include "PayloadEncoder.h"

namespace {

// A failure of this tool itself: a file that cannot be read, written or renamed.
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Reason(const std::string& path)
{
    return path + ": " + std::strerror(errno);
}

std::vector<unsigned char> ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ToolError(Reason(path));
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (file.bad()) throw ToolError(Reason(path));
    return bytes;
}

// Moves up to count bytes with read(2) or write(2), retrying until all are moved,
// the file ends or an error stops it; returns how many were moved.
template <typename Buffer, typename Call>
std::int64_t Transfer(Buffer* buffer, std::int64_t count, Call call)
{
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = call(buffer + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

// An existing file, read from its start without a buffer of its own: every
// ReadBuffer is read(2) calls straight into the caller's memory.
class InputFileStream : public TStream {
public:
    explicit InputFileStream(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        struct stat st;
        if (fd_ < 0 || fstat(fd_, &st) != 0) {
            const std::string reason = Reason(path);
            if (fd_ >= 0) close(fd_);
            throw ToolError(reason);
        }
        remaining_ = st.st_size;
    }
    ~InputFileStream() override { close(fd_); }
    InputFileStream(const InputFileStream&) = delete;
    InputFileStream& operator=(const InputFileStream&) = delete;

    std::int64_t Remaining() const override { return remaining_; }

protected:
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        const std::int64_t n = Transfer(static_cast<char*>(buffer), count,
                                        [this](char* at, std::size_t size) { return read(fd_, at, size); });
        remaining_ -= n;
        return n;
    }
    std::int64_t Write(const void*, std::int64_t) override { return 0; }

private:
    int fd_;
    std::int64_t remaining_ = 0;
};

// A new file that becomes path only when Commit is called; otherwise it goes away.
// Unbuffered: every WriteBuffer is one write(2) of the caller's bytes (more only if
// the system takes them in parts).
class TempFileStream : public TStream {
public:
    explicit TempFileStream(std::string path) : path_(std::move(path)), temp_(path_ + ".XXXXXX")
    {
        fd_ = mkstemp(temp_.data());
        // mkstemp makes the file private; OUT gets the permissions a new file would.
        const mode_t mask = umask(0);
        umask(mask);
        if (fd_ < 0 || fchmod(fd_, 0666 & ~mask) != 0) {
            const std::string reason = Reason(temp_);
            if (fd_ >= 0) {
                close(fd_);
                std::remove(temp_.c_str());
            }
            throw ToolError(reason);
        }
    }
    ~TempFileStream() override
    {
        if (fd_ >= 0) {
            close(fd_);
            std::remove(temp_.c_str());
        }
    }
    TempFileStream(const TempFileStream&) = delete;
    TempFileStream& operator=(const TempFileStream&) = delete;

    void Commit()
    {
        const bool closed = close(fd_) == 0;
        fd_ = -1;
        if (!closed || std::rename(temp_.c_str(), path_.c_str()) != 0) {
            const std::string reason = Reason(path_);
            std::remove(temp_.c_str());
            throw ToolError(reason);
        }
    }

    std::int64_t Remaining() const override { return 0; }

protected:
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        return Transfer(static_cast<const char*>(buffer), count,
                        [this](const char* at, std::size_t size) { return write(fd_, at, size); });
    }

private:
    std::string path_;
    std::string temp_;
    int fd_ = -1;
};

void Pack(const std::string& in, const std::string& out, PackMode mode)
{
    const std::vector<unsigned char> payload = PackPayload(ReadFile(in), mode);
    TempFileStream file(out);
    file.WriteBuffer(payload.data(), static_cast<std::int64_t>(payload.size()));
    file.Commit();
}

void Unpack(const std::string& in, const std::string& out)
{
    InputFileStream payload(in);
    TempFileStream file(out);
    DecodePayload(payload, file);
    file.Commit();
}

void Info(const std::string& in)
{
    const std::vector<unsigned char> bytes = ReadFile(in);
    if (bytes.size() < PayloadHeader::kSize) throw ToolError(in + ": shorter than a payload header");
    unsigned char raw[PayloadHeader::kSize];
    std::copy(bytes.begin(), bytes.begin() + PayloadHeader::kSize, raw);
    const PayloadHeader h = PayloadHeader::Parse(raw);

    auto printable = [](unsigned char c) { return c >= 0x20 && c < 0x7F ? char(c) : '.'; };
    char line[160];
    std::snprintf(line, sizeof line, "signature     %c%c (%02X %02X)\n", printable(h.Signature[0]),
                  printable(h.Signature[1]), h.Signature[0], h.Signature[1]);
    std::cout << line;
    std::snprintf(line, sizeof line, "byte 2, 3     %02X %02X\n", h.Byte2, h.Byte3);
    std::cout << line;
    std::cout << "packed size   " << h.PackedSize << '\n';
    std::cout << "unpacked size " << h.UnpackedSize << '\n';
    std::cout << "reserved      " << h.Reserved << '\n';
    std::cout << "file size     " << bytes.size() << " (header 16, then "
              << bytes.size() - PayloadHeader::kSize << ")\n";
}

int Usage()
{
    std::cerr << "usage: payload pack [--fast] IN OUT\n"
                 "       payload unpack IN OUT\n"
                 "       payload info IN\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    const std::string& command = args[0];
    try {
        if (command == "pack") {
            // Options come first; a name that starts like one is a mistake.
            const bool fast = args.size() > 1 && args[1] == "--fast";
            const std::size_t first = fast ? 2 : 1;
            if (args.size() != first + 2 || args[first].rfind("--", 0) == 0) return Usage();
            Pack(args[first], args[first + 1], fast ? PackMode::Fast : PackMode::Optimal);
        } else if (command == "unpack" && args.size() == 3) {
            Unpack(args[1], args[2]);
        } else if (command == "info" && args.size() == 2) {
            Info(args[1]);
        } else {
            return Usage();
        }
    } catch (const Exception& e) {
        std::cerr << "payload " << command << ": " << args[1] << ": " << e.Message() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "payload " << command << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}
