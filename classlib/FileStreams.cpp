#include "FileStreams.h"

#include <algorithm>
#include <cstring>

#include "SysUtils.h"
#include "Text.h"

namespace {

const char kCannotCreate[] = "ファイル %s を作成できません";
const char kWriteError[] = "ストリームへの書き込みエラー";

// ReadFile and WriteFile move at most this many bytes in one call.
constexpr std::int64_t kMaxTransfer = 0x40000000;

// The folder part of a path, up to and including its last separator (a backslash,
// a slash, or the colon after a drive letter); empty for a bare file name. The
// walk goes character by character: the second byte of a double-byte character
// may be 0x5C and is no separator.
std::string FolderOf(const std::string& path)
{
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto b = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(b)) {
            ++i;
        } else if (b == '\\' || b == '/' || b == ':') {
            end = i + 1;
        }
    }
    return path.substr(0, end);
}

// A read-only target must refuse its replacement, as it refuses being created
// anew. Windows refuses such a move by itself, but not every system that runs the
// program does (Wine running as root replaces the file), so the attribute is
// looked at first. A target that another program has open is refused by the move.
bool IsReadOnly(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

TResourceStream::TResourceStream(const std::string& name)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    // Resource names are ASCII, so the ANSI lookup is exact; type 10 is RT_RCDATA.
    const HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10));
    if (found) resource_.reset(LoadResource(module, found));
    if (resource_) bytes_ = static_cast<const unsigned char*>(LockResource(resource_.get()));
    if (!bytes_) throw EResNotFound(Format("%s リソースが見つかりません", name));
    size_ = SizeofResource(module, found);
}

std::int64_t TResourceStream::Remaining() const
{
    return size_ - position_;
}

std::int64_t TResourceStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t n = std::clamp<std::int64_t>(count, 0, Remaining());
    if (n != 0) std::memcpy(buffer, bytes_ + position_, std::size_t(n));
    position_ += n;
    return n;
}

std::int64_t TResourceStream::Write(const void*, std::int64_t)
{
    return 0;
}

TFileStream::TFileStream(const std::string& fileName, [[maybe_unused]] TFileMode mode)
    : file_(CreateFileW(ToWide(fileName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr))
{
    if (!file_) throw EFCreateError(Format(kCannotCreate, fileName));
}

void TFileStream::Flush()
{
    if (!FlushFileBuffers(file_.get())) throw EWriteError(kWriteError);
}

std::int64_t TFileStream::Remaining() const
{
    LARGE_INTEGER size{};
    LARGE_INTEGER position{};
    if (!GetFileSizeEx(file_.get(), &size) || !SetFilePointerEx(file_.get(), {}, &position, FILE_CURRENT))
        return 0;
    return std::max<std::int64_t>(size.QuadPart - position.QuadPart, 0);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        DWORD moved = 0;
        const auto ask = DWORD(std::min(count - done, kMaxTransfer));
        if (!ReadFile(file_.get(), bytes + done, ask, &moved, nullptr) || moved == 0) break;
        done += moved;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        DWORD moved = 0;
        const auto ask = DWORD(std::min(count - done, kMaxTransfer));
        if (!WriteFile(file_.get(), bytes + done, ask, &moved, nullptr) || moved == 0) break;
        done += moved;
    }
    return done;
}

bool DeleteFile(const std::string& fileName)
{
    return DeleteFileW(ToWide(fileName).c_str()) != FALSE;
}

TFileReplacement::TTemporaryFile::~TTemporaryFile()
{
    if (!path_.empty()) DeleteFile(path_);
}

TFileReplacement::TFileReplacement(const std::string& target) : target_(target)
{
    std::string folder = FolderOf(target);
    // A bare file name, or a drive letter alone, means the current folder there.
    if (folder.empty() || folder.back() == ':') folder += '.';
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(ToWide(folder).c_str(), L"rqx", 0, name) == 0)
        throw EFCreateError(Format(kCannotCreate, target_));
    temporary_.Take(FromWide(name));
    try {
        file_.emplace(temporary_.Path(), fmCreate);
    } catch (const EFCreateError&) {
        throw EFCreateError(Format(kCannotCreate, target_));
    }
}

TFileReplacement::~TFileReplacement() = default;

void TFileReplacement::Commit()
{
    if (file_) {
        file_->Flush();
        file_.reset();
    }
    const std::wstring target = ToWide(target_);
    if (IsReadOnly(target) || !MoveFileExW(ToWide(temporary_.Path()).c_str(), target.c_str(),
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw EFCreateError(Format(kCannotCreate, target_));
    temporary_.Keep();
}

std::int64_t TFileReplacement::Write(const void* buffer, std::int64_t count)
{
    if (!file_) return 0;
    file_->WriteBuffer(buffer, count);
    return count;
}
