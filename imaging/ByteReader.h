// A bounds-checked cursor over file bytes. Every read of container data goes
// through it: a read past the end returns 0 and sets Failed, which stays set,
// so a walker can read a whole record and test Failed once. Lengths taken from
// the file are compared with Remaining(), never added to the offset first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace framelot {

struct ByteReader {
    std::span<const std::uint8_t> Data;
    std::size_t Offset = 0;
    bool Failed = false;
};

inline std::size_t Remaining(const ByteReader& r)
{
    return r.Offset <= r.Data.size() ? r.Data.size() - r.Offset : 0;
}

inline bool Skip(ByteReader& r, std::uint64_t n)
{
    if (r.Failed || n > Remaining(r)) {
        r.Failed = true;
        return false;
    }
    r.Offset += static_cast<std::size_t>(n);
    return true;
}

inline std::uint8_t ReadU8(ByteReader& r)
{
    if (r.Failed || Remaining(r) < 1) {
        r.Failed = true;
        return 0;
    }
    return r.Data[r.Offset++];
}

inline std::uint16_t ReadU16Le(ByteReader& r)
{
    if (r.Failed || Remaining(r) < 2) {
        r.Failed = true;
        return 0;
    }
    std::uint16_t v = static_cast<std::uint16_t>(r.Data[r.Offset] | (r.Data[r.Offset + 1] << 8));
    r.Offset += 2;
    return v;
}

inline std::uint16_t ReadU16Be(ByteReader& r)
{
    if (r.Failed || Remaining(r) < 2) {
        r.Failed = true;
        return 0;
    }
    std::uint16_t v = static_cast<std::uint16_t>((r.Data[r.Offset] << 8) | r.Data[r.Offset + 1]);
    r.Offset += 2;
    return v;
}

inline std::uint32_t ReadU32Be(ByteReader& r)
{
    if (r.Failed || Remaining(r) < 4) {
        r.Failed = true;
        return 0;
    }
    const std::uint8_t* p = r.Data.data() + r.Offset;
    r.Offset += 4;
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The next n bytes as a sub-span, or an empty span (and Failed) when fewer remain.
inline std::span<const std::uint8_t> TakeBytes(ByteReader& r, std::uint64_t n)
{
    if (r.Failed || n > Remaining(r)) {
        r.Failed = true;
        return {};
    }
    auto s = r.Data.subspan(r.Offset, static_cast<std::size_t>(n));
    r.Offset += static_cast<std::size_t>(n);
    return s;
}

}  // namespace framelot
