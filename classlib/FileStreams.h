// Streams over the program's own resources and over files, and the file operations
// the update needs. Every path is code page 932 text; Win32 sees it converted.
#pragma once

#include <windows.h>
// The class library's DeleteFile below takes our text; the ANSI/wide macro of the
// same name would rename it.
#undef DeleteFile

#include <cstdint>
#include <optional>
#include <string>

#include "Classes.h"
#include "Handle.h"

// A read-only stream over an RT_RCDATA resource of the program's own module, found
// by its string name. Writing to it fails with EWriteError.
class TResourceStream : public TStream {
public:
    // Raises EResNotFound "<name> リソースが見つかりません" when the module has no
    // such resource or it cannot be loaded.
    explicit TResourceStream(const std::string& name);

    std::int64_t Remaining() const override;

protected:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;

private:
    UniqueResource resource_;
    const unsigned char* bytes_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

// How a file stream opens its file. The program only ever creates files: fmCreate
// creates the file, or empties one that exists, for reading and writing.
enum TFileMode : unsigned short { fmCreate = 0xFFFF };

// A stream over a file opened without sharing.
class TFileStream : public TStream {
public:
    // Raises EFCreateError "ファイル <fileName> を作成できません" when the file cannot be created.
    TFileStream(const std::string& fileName, TFileMode mode);

    // Makes everything written so far durable on disk; raises EWriteError when it cannot.
    void Flush();

    std::int64_t Remaining() const override;

protected:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;

private:
    UniqueFile file_;
};

// Deletes a file. Never raises: a file that is missing, read-only or in use is
// simply left, and the result says whether it went.
bool DeleteFile(const std::string& fileName);

// Writes a new version of a file without putting the old one at risk. The new
// bytes go to a temporary file in the target's folder; Commit flushes it to disk
// and puts it in the target's place in one step. Until Commit succeeds the target
// stays exactly as it was, and the temporary file is removed when the object goes.
// Every failure to create or to replace names the target:
// EFCreateError "ファイル <target> を作成できません".
class TFileReplacement : public TStream {
public:
    explicit TFileReplacement(const std::string& target);
    ~TFileReplacement() override;

    // The target is refused, as creating it anew would be, when it is read-only or
    // another program has it open. Raises EWriteError when the flush fails.
    void Commit();

    std::int64_t Remaining() const override { return 0; }

protected:
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Write(const void* buffer, std::int64_t count) override;

private:
    // A file that is deleted when its owner goes, unless it was kept.
    class TTemporaryFile {
    public:
        TTemporaryFile() = default;
        TTemporaryFile(const TTemporaryFile&) = delete;
        TTemporaryFile& operator=(const TTemporaryFile&) = delete;
        ~TTemporaryFile();

        const std::string& Path() const { return path_; }
        void Take(std::string path) { path_ = std::move(path); }
        void Keep() { path_.clear(); }

    private:
        std::string path_;
    };

    std::string target_;
    TTemporaryFile temporary_;
    std::optional<TFileStream> file_;  // over the temporary file; closed before it moves
};
