#include "Classes.h"

#include <algorithm>
#include <cstring>

void TStream::ReadBuffer(void* buffer, std::int64_t count)
{
    if (count != 0 && Read(buffer, count) != count) throw EReadError("ストリームからの読み込みエラー");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count)
{
    if (count != 0 && Write(buffer, count) != count) throw EWriteError("ストリームへの書き込みエラー");
}

std::int64_t TMemoryStream::Remaining() const
{
    return static_cast<std::int64_t>(bytes_.size() - position_);
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count)
{
    const auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, Remaining()));
    if (n != 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return static_cast<std::int64_t>(n);
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    bytes_.insert(bytes_.end(), bytes, bytes + count);
    return count;
}
