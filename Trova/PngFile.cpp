#include "Trova/PngFile.h"

#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

// The pictures stb_image may allocate for are bounded here and again, more tightly, before it
// is called (see kMostPixels).
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS (1 << 14)
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

// stb_image_write compresses through zlib, which compresses better than its own deflate.
static unsigned char* CompressWithZlib(unsigned char* data, int length, int* outLength, int) {
    uLongf size = compressBound(static_cast<uLong>(length));
    auto* out = static_cast<unsigned char*>(std::malloc(size));
    if (out &&
        compress2(out, &size, data, static_cast<uLong>(length), Z_BEST_COMPRESSION) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *outLength = static_cast<int>(size);
    return out;
}
#define STBIW_ZLIB_COMPRESS CompressWithZlib
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace Ostrel::Trova {

namespace {

constexpr char kSourceUnit[] = "PngFile";

constexpr std::array<std::uint8_t, 8> kSignature = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::uint32_t kChunkHeaderSize = 8; // length, type
constexpr std::uint32_t kChunkCrcSize = 4;
constexpr std::uint32_t kImageHeaderSize = 13;
// A texture never comes near this; anything larger is refused before decoding.
constexpr std::uint64_t kMostPixels = std::uint64_t(1) << 24;
constexpr std::uint32_t kMostSide = 1 << 14;

constexpr char kInvalidFile[] = "Invalid or unsupported PNG file";
constexpr char kBadDimensions[] = "Invalid PNG dimensions";
constexpr char kBadPictureData[] = "Invalid PNG picture data";

constexpr std::uint32_t ChunkType(const char (&name)[5]) {
    return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
           std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint32_t(std::uint8_t(name[3]));
}

constexpr std::uint32_t kImageHeader = ChunkType("IHDR");
constexpr std::uint32_t kTransparency = ChunkType("tRNS");
constexpr std::uint32_t kImageData = ChunkType("IDAT");
constexpr std::uint32_t kImageEnd = ChunkType("IEND");

std::uint32_t ReadBigEndian(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
           std::uint32_t(bytes[2]) << 8 | bytes[3];
}

// The image header's facts and whether a transparency chunk follows.
struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bitDepth = 0;
    std::uint8_t colourType = 0;
    bool interlaced = false;
    bool transparency = false;
};

// Channels per colour type, 0 for a type PNG lacks.
unsigned Channels(std::uint8_t colourType) {
    switch (colourType) {
    case 0: // grey
    case 3: // palette
        return 1;
    case 2: // RGB
        return 3;
    case 4: // grey and alpha
        return 2;
    case 6: // RGBA
        return 4;
    default:
        return 0;
    }
}

bool IsValidDepth(std::uint8_t colourType, std::uint8_t depth) {
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    default:
        return Channels(colourType) != 0 && (depth == 8 || depth == 16);
    }
}

PngHeader DecodeImageHeader(const std::uint8_t* data, const std::string& name) {
    PngHeader header{
        ReadBigEndian(data), ReadBigEndian(data + 4), data[8], data[9], data[12] == 1, false};
    const bool knownMethods = data[10] == 0 && data[11] == 0 && data[12] <= 1;
    if (!knownMethods || !IsValidDepth(header.colourType, header.bitDepth)) {
        throw Util::XFileFormat(name, kInvalidFile);
    }
    if (header.width == 0 || header.height == 0 || header.width > kMostSide ||
        header.height > kMostSide || std::uint64_t(header.width) * header.height > kMostPixels) {
        throw Util::XFileFormat(name, kBadDimensions);
    }
    return header;
}

std::uint64_t RowBytes(std::uint64_t width, const PngHeader& header) {
    return 1 + (width * Channels(header.colourType) * header.bitDepth + 7) / 8; // with filter byte
}

// The bytes the picture data inflates to: filtered rows, one set per interlace pass.
std::uint64_t InflatedSize(const PngHeader& header) {
    if (!header.interlaced) {
        return header.height * RowBytes(header.width, header);
    }
    struct Pass {
        std::uint32_t column, row, columnStep, rowStep;
    };
    constexpr Pass kPasses[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    std::uint64_t size = 0;
    for (const Pass& pass : kPasses) {
        const std::uint64_t columns =
            header.width > pass.column
                ? (header.width - pass.column + pass.columnStep - 1) / pass.columnStep
                : 0;
        const std::uint64_t rows =
            header.height > pass.row ? (header.height - pass.row + pass.rowStep - 1) / pass.rowStep
                                     : 0;
        size += columns != 0 && rows != 0 ? rows * RowBytes(columns, header) : 0;
    }
    return size;
}

// Inflates the picture data into a small scratch buffer only to count it, so that data which
// would inflate beyond what the picture's size needs is refused before anything is allocated
// for it.
class InflationCheck {
public:
    InflationCheck(std::uint64_t limit, const std::string& name) : limit_(limit), name_(name) {
        if (inflateInit(&stream_) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~InflationCheck() { inflateEnd(&stream_); }
    InflationCheck(const InflationCheck&) = delete;
    InflationCheck& operator=(const InflationCheck&) = delete;

    void Feed(std::vector<std::uint8_t>& data) {
        stream_.next_in = data.data();
        stream_.avail_in = static_cast<uInt>(data.size());
        while (!ended_ && stream_.avail_in != 0) {
            stream_.next_out = scratch_.data();
            stream_.avail_out = static_cast<uInt>(scratch_.size());
            const int result = inflate(&stream_, Z_NO_FLUSH);
            if ((result != Z_OK && result != Z_STREAM_END) || stream_.total_out > limit_) {
                throw Util::XFileFormat(name_, kBadPictureData);
            }
            ended_ = result == Z_STREAM_END;
        }
    }

private:
    z_stream stream_{};
    std::array<std::uint8_t, 1 << 16> scratch_;
    std::uint64_t limit_;
    const std::string& name_;
    bool ended_ = false;
};

// Walks the chunks up to the picture data (for a summary) or to the end, checking the data's
// inflated size on the way.
PngHeader ReadChunks(Util::BinaryStream& stream, const std::string& name, bool throughData) {
    std::array<std::uint8_t, kSignature.size() + kChunkHeaderSize> start;
    stream.Read(static_cast<std::uint32_t>(start.size()), start.data());
    if (!std::equal(kSignature.begin(), kSignature.end(), start.begin()) ||
        ReadBigEndian(&start[8]) != kImageHeaderSize || ReadBigEndian(&start[12]) != kImageHeader) {
        throw Util::XFileFormat(name, kInvalidFile);
    }
    std::array<std::uint8_t, kImageHeaderSize + kChunkCrcSize> ihdr;
    stream.Read(static_cast<std::uint32_t>(ihdr.size()), ihdr.data());
    PngHeader header = DecodeImageHeader(ihdr.data(), name);
    std::unique_ptr<InflationCheck> check;
    std::array<std::uint8_t, kChunkHeaderSize> chunk;
    for (;;) {
        stream.Read(kChunkHeaderSize, chunk.data());
        const std::uint32_t length = ReadBigEndian(&chunk[0]);
        const std::uint32_t type = ReadBigEndian(&chunk[4]);
        if (std::uint64_t(length) + kChunkCrcSize > stream.GetRemaining()) {
            throw Util::XFileRead(stream.GetName());
        }
        header.transparency = header.transparency || type == kTransparency;
        if (type == kImageEnd || (type == kImageData && !throughData)) {
            return header;
        }
        if (type == kImageData) {
            // The picture decoder copies the first data chunk into a buffer it has not made yet
            // when that chunk is empty.
            if (!check && length == 0) {
                throw Util::XFileFormat(name, kBadPictureData);
            }
            if (!check) {
                check = std::make_unique<InflationCheck>(InflatedSize(header), name);
            }
            std::vector<std::uint8_t> data(length);
            stream.Read(length, data.data());
            check->Feed(data);
            stream.SetPosition(stream.GetPosition() + kChunkCrcSize);
        } else {
            stream.SetPosition(stream.GetPosition() + length + kChunkCrcSize);
        }
    }
}

bool HasAlphaIn(const PngHeader& header) {
    return header.transparency || header.colourType == 4 || header.colourType == 6;
}

struct StbFree {
    void operator()(void* pixels) const { stbi_image_free(pixels); }
};

bool IsOpaque(const Bitmap& picture) {
    for (std::uint32_t row = 0; row < picture.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < picture.GetWidth(); ++column) {
            if (picture.GetPixel(row, column).GetAlpha() != 1) {
                return false;
            }
        }
    }
    return true;
}

void AppendToVector(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* begin = static_cast<const std::uint8_t*>(data);
    bytes->insert(bytes->end(), begin, begin + size);
}

} // namespace

PngFile::PngFile(const std::string& path) {
    const auto file = Util::OpenForRead(path);
    Read(*file, path);
}

PngFile::PngFile(Util::BinaryStream& stream) {
    Read(stream, stream.GetName());
}

PictureSummary PngFile::ReadSummary(Util::BinaryStream& stream) {
    const PngHeader header = ReadChunks(stream, stream.GetName(), false);
    return {header.width,
            header.height,
            static_cast<std::uint16_t>(Channels(header.colourType) * header.bitDepth),
            {},
            HasAlphaIn(header)};
}

PictureSummary PngFile::ReadSummary(const std::string& path) {
    const auto file = Util::OpenForRead(path);
    return ReadSummary(*file);
}

// The chunks are checked first; stb_image then decodes the same bytes to 8 or 16 bits per
// channel, RGBA.
void PngFile::Read(Util::BinaryStream& stream, const std::string& name) {
    const std::uint64_t remaining = stream.GetRemaining();
    if (remaining > INT_MAX) {
        throw Util::XFileFormat(name, kBadDimensions);
    }
    std::vector<std::uint8_t> bytes(remaining);
    stream.Read(static_cast<std::uint32_t>(remaining), bytes.data());
    Util::MemoryStream memory(stream.GetName(), bytes);
    const PngHeader header = ReadChunks(memory, name, true);
    hasAlpha_ = HasAlphaIn(header);
    const bool wide = header.bitDepth == 16;
    const int length = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    const std::unique_ptr<void, StbFree> pixels(
        wide ? static_cast<void*>(
                   stbi_load_16_from_memory(bytes.data(), length, &width, &height, &channels, 4))
             : static_cast<void*>(
                   stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4)));
    if (!pixels || std::uint32_t(width) != header.width || std::uint32_t(height) != header.height) {
        throw Util::XFileFormat(name, kBadPictureData);
    }
    SetSize(header.height, header.width);
    const unsigned bits = wide ? 16 : 8;
    std::size_t at = 0;
    for (std::uint32_t row = 0; row < header.height; ++row) {
        for (std::uint32_t column = 0; column < header.width; ++column, at += 4) {
            const auto channel = [&](std::size_t index) {
                const std::uint32_t value =
                    wide ? static_cast<const std::uint16_t*>(pixels.get())[at + index]
                         : static_cast<const std::uint8_t*>(pixels.get())[at + index];
                return IntToChannel(value, bits);
            };
            SetPixel(row, column, Colour(channel(0), channel(1), channel(2), channel(3)));
        }
    }
}

void PngFile::Save(const Bitmap& picture, Util::BinaryStream& stream) {
    const int channels = IsOpaque(picture) ? 3 : 4;
    const std::uint64_t rowBytes = std::uint64_t(picture.GetWidth()) * channels;
    OSTREL_ASSERT(rowBytes * picture.GetHeight() <= INT_MAX);
    std::vector<std::uint8_t> pixels;
    pixels.reserve(rowBytes * picture.GetHeight());
    for (std::uint32_t row = 0; row < picture.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < picture.GetWidth(); ++column) {
            const Colour colour = picture.GetPixel(row, column);
            const float values[] = {colour.GetRed(), colour.GetGreen(), colour.GetBlue(),
                                    colour.GetAlpha()};
            for (int channel = 0; channel < channels; ++channel) {
                pixels.push_back(static_cast<std::uint8_t>(ChannelToInt(values[channel], 8)));
            }
        }
    }
    std::vector<std::uint8_t> file;
    if (!stbi_write_png_to_func(AppendToVector, &file, static_cast<int>(picture.GetWidth()),
                                static_cast<int>(picture.GetHeight()), channels, pixels.data(),
                                static_cast<int>(rowBytes))) {
        throw Util::XFileWrite(stream.GetName());
    }
    stream.Write(static_cast<std::uint32_t>(file.size()), file.data());
}

} // namespace Ostrel::Trova
