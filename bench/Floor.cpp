// The benchmark's floor: one file read, decoded and composed exactly as
// framelot-cli does it, with every finished frame handed to a sink that only
// reads it. The time left when PNG encoding and writing cost nothing.
#include <cstdio>
#include <string>

#include "convert/MemoryReuse.h"
#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    framelot::KeepFreedMemoryForReuse();  // as framelot-cli's runner does
    const framelot::SourceFormat* format = framelot::FormatOfPath(argv[1]);
    const framelot::SourceFile file = framelot::ReadSourceFile(argv[1]);
    if (format == nullptr || !file.Ok) return 1;
    unsigned checksum = 0;
    const framelot::ConvertResult r = format->Convert(file.Bytes, [&](std::uint64_t, const framelot::Bitmap& frame) {
        for (std::size_t i = 0; i < frame.Pixels.size(); i += 4096) checksum += frame.Pixels[i];
        return true;
    }, {});
    std::printf("%u\n", checksum);
    return r.Status == framelot::ConvertStatus::Converted ? 0 : 1;
}
