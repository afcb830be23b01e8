// The icons of Kovarentis.exe: sizes and colour depths, the shared emblem-square
// frame, the empty About icon, the spinning-letter frames, and the scaled
// frames that the system picks at 125, 150 and 200 %.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "shell/res/resource.h"
#include "tests/shell/resources/resource_module.h"

namespace kov::test {
namespace {

struct IconImage {
    int width = 0, height = 0, bitCount = 0;
    std::vector<uint8_t> bytes;  // BITMAPINFOHEADER, palette, colour bits, mask bits

    uint32_t PaletteSize() const {
        const uint32_t used = Dword(bytes, 32);
        return used ? used : 1u << bitCount;
    }
    size_t ColourOffset() const { return 40 + 4 * PaletteSize(); }
    size_t ColourStride() const { return (width * bitCount + 31) / 32 * 4; }
    size_t MaskOffset() const { return ColourOffset() + ColourStride() * height; }
    size_t MaskStride() const { return (width + 31) / 32 * 4; }

    // Rows are stored bottom-up.
    bool Transparent(int x, int y) const {
        const uint8_t byte = bytes[MaskOffset() + (height - 1 - y) * MaskStride() + x / 8];
        return (byte >> (7 - x % 8)) & 1;
    }
    COLORREF Colour(int x, int y) const {  // 8-bit images
        const uint8_t index = bytes[ColourOffset() + (height - 1 - y) * ColourStride() + x];
        return RGB(bytes[40 + 4 * index + 2], bytes[40 + 4 * index + 1], bytes[40 + 4 * index]);
    }
};

// Every image of one icon group, as the group directory lists them.
class IconGroup {
public:
    IconGroup(HMODULE module, int id) {
        const auto directory = ResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEW(id), kRussian);
        if (!directory || directory->size() < 6 || Word(*directory, 2) != 1) return;
        const uint16_t count = Word(*directory, 4);
        if (directory->size() < 6 + 14u * count) return;
        for (uint16_t i = 0; i < count; ++i) {
            const size_t entry = 6 + 14u * i;
            IconImage image;
            image.width = (*directory)[entry] ? (*directory)[entry] : 256;
            image.height = (*directory)[entry + 1] ? (*directory)[entry + 1] : 256;
            image.bitCount = Word(*directory, entry + 6);
            const uint32_t declaredSize = Dword(*directory, entry + 8);
            const uint16_t iconId = Word(*directory, entry + 12);
            auto bytes = ResourceBytes(module, RT_ICON, MAKEINTRESOURCEW(iconId), kRussian);
            if (!bytes || bytes->size() != declaredSize || bytes->size() < 40) return;
            image.bytes = std::move(*bytes);
            images_.push_back(std::move(image));
        }
        complete_ = true;
    }

    bool complete() const { return complete_; }
    const std::vector<IconImage>& images() const { return images_; }
    const IconImage* Image(int size) const {
        for (const auto& image : images_) {
            if (image.width == size) return &image;
        }
        return nullptr;
    }

private:
    std::vector<IconImage> images_;
    bool complete_ = false;
};

// The icons whose 16-pixel image is their only palette bitmap.
constexpr int kSixteenOnly[] = {IDI_AWAY,    IDI_OFFLINE,      IDI_CLOSE,        IDI_SIGN_IN_OUT,
                                IDI_NEW_MESSAGE, IDI_CONNECTING_1, IDI_CONNECTING_2, IDI_CONNECTING_3,
                                IDI_CONNECTING_4};
constexpr int kFrames[] = {IDI_CONNECTING_1, IDI_CONNECTING_2, IDI_CONNECTING_3, IDI_CONNECTING_4};

class AgentIcons : public ::testing::Test {
protected:
    UniqueModule agent_ = OpenForResources(AgentPath());
    void SetUp() override { ASSERT_TRUE(agent_) << "cannot open the agent executable"; }
};

void ExpectImageLayout(const IconImage& image, int size, int bitCount) {
    EXPECT_EQ(image.width, size);
    EXPECT_EQ(image.bitCount, bitCount);
    ASSERT_GE(image.bytes.size(), 40u);
    EXPECT_EQ(Dword(image.bytes, 0), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(static_cast<int32_t>(Dword(image.bytes, 4)), size);
    EXPECT_EQ(static_cast<int32_t>(Dword(image.bytes, 8)), 2 * size) << "colour and mask halves";
    EXPECT_EQ(Word(image.bytes, 14), bitCount);
    // 8-bit images list only the colours they use.
    EXPECT_GE(image.PaletteSize(), 2u);
    EXPECT_LE(image.PaletteSize(), 1u << bitCount);
    EXPECT_EQ(image.bytes.size(), image.MaskOffset() + image.MaskStride() * size);
}

// The scaled frames are PNG images (a quarter of a palette bitmap's size).
void ExpectPngImage(const IconImage* image, int size) {
    ASSERT_NE(image, nullptr) << "no " << size << "-pixel image";
    EXPECT_EQ(image->bitCount, 32);
    ASSERT_GE(image->bytes.size(), 24u);
    EXPECT_EQ(std::string(image->bytes.begin(), image->bytes.begin() + 8), "\x89PNG\r\n\x1a\n");
    const auto bigEndian = [&](size_t at) {
        return static_cast<int>(image->bytes[at] << 24 | image->bytes[at + 1] << 16 |
                                image->bytes[at + 2] << 8 | image->bytes[at + 3]);
    };
    EXPECT_EQ(bigEndian(16), size) << "width";
    EXPECT_EQ(bigEndian(20), size) << "height";
}

TEST_F(AgentIcons, SizesAndColourDepths) {
    const IconGroup online(agent_.Get(), IDI_ONLINE);
    ASSERT_TRUE(online.complete());
    ASSERT_EQ(online.images().size(), 4u);
    ASSERT_TRUE(online.Image(16) && online.Image(32));
    ExpectImageLayout(*online.Image(16), 16, 8);
    ExpectImageLayout(*online.Image(32), 32, 8);
    for (int size : {20, 24}) ExpectPngImage(online.Image(size), size);

    for (int id : kSixteenOnly) {
        SCOPED_TRACE(id);
        const IconGroup group(agent_.Get(), id);
        ASSERT_TRUE(group.complete());
        ASSERT_EQ(group.images().size(), 4u);
        ASSERT_TRUE(group.Image(16));
        ExpectImageLayout(*group.Image(16), 16, 8);
        for (int size : {20, 24, 32}) ExpectPngImage(group.Image(size), size);
    }

    const IconGroup about(agent_.Get(), IDI_ABOUT);
    ASSERT_TRUE(about.complete());
    ASSERT_EQ(about.images().size(), 3u);
    for (int size : {20, 24, 32}) {
        ASSERT_TRUE(about.Image(size)) << size;
        ExpectImageLayout(*about.Image(size), size, 4);
    }
}

TEST_F(AgentIcons, OnlyTheCataloguedIconsExistAndAllAreRussian) {
    for (int id = 128; id <= 145; ++id) {
        const bool catalogued = std::set<int>{128, 130, 131, 132, 133, 135, 137, 138, 140, 141, 142}.count(id);
        const auto languages = ResourceLanguages(agent_.Get(), RT_GROUP_ICON, MAKEINTRESOURCEW(id));
        EXPECT_EQ(languages, catalogued ? std::vector<WORD>{kRussian} : std::vector<WORD>{}) << id;
    }
}

TEST_F(AgentIcons, AboutIconIsFullyTransparent) {
    const IconGroup about(agent_.Get(), IDI_ABOUT);
    ASSERT_TRUE(about.complete());
    for (int size : {20, 24, 32}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(about.Image(size));
        const IconImage& image = *about.Image(size);
        ASSERT_EQ(image.bytes.size(), image.MaskOffset() + image.MaskStride() * size);
        for (size_t i = image.ColourOffset(); i < image.MaskOffset(); ++i) {
            ASSERT_EQ(image.bytes[i], 0) << "colour byte " << i;
        }
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) ASSERT_TRUE(image.Transparent(x, y)) << x << "," << y;
        }
    }
}

// Each small picture is a square whose only transparent pixels are its corners,
// framed in dark olive (greys for Offline).
TEST_F(AgentIcons, EmblemSquaresShareTheirFrame) {
    std::vector<int> ids(std::begin(kSixteenOnly), std::end(kSixteenOnly));
    ids.push_back(IDI_ONLINE);
    for (int id : ids) {
        SCOPED_TRACE(id);
        const IconGroup group(agent_.Get(), id);
        ASSERT_TRUE(group.complete() && group.Image(16));
        const IconImage& image = *group.Image(16);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool corner = (x == 0 || x == 15) && (y == 0 || y == 15);
                EXPECT_EQ(image.Transparent(x, y), corner) << x << "," << y;
            }
        }
        const COLORREF border = id == IDI_OFFLINE ? RGB(95, 95, 95) : RGB(96, 109, 51);
        EXPECT_EQ(image.Colour(7, 0), border);
        EXPECT_EQ(image.Colour(0, 7), border);
    }
}

TEST_F(AgentIcons, ConnectingFramesDifferFromEachOther) {
    std::vector<std::vector<uint8_t>> frames;
    for (int id : kFrames) {
        const IconGroup group(agent_.Get(), id);
        ASSERT_TRUE(group.complete() && group.Image(16)) << id;
        frames.push_back(group.Image(16)->bytes);
    }
    for (size_t a = 0; a < frames.size(); ++a) {
        for (size_t b = a + 1; b < frames.size(); ++b) {
            EXPECT_NE(frames[a], frames[b]) << kFrames[a] << " and " << kFrames[b];
        }
    }
}

// The system itself accepts every icon at the sizes it will ask for.
TEST_F(AgentIcons, SystemLoadsEachIcon) {
    std::vector<int> ids(std::begin(kSixteenOnly), std::end(kSixteenOnly));
    ids.push_back(IDI_ONLINE);
    ids.push_back(IDI_ABOUT);
    for (int id : ids) {
        for (int size : {16, 20, 24, 32}) {
            UniqueIcon icon(static_cast<HICON>(
                ::LoadImageW(agent_.Get(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
            EXPECT_TRUE(icon) << id << " at " << size;
        }
    }
}

// Asked for 24 pixels (150 %), the system takes the 24-pixel frame: its
// one-pixel border is one pixel wide, where the 16-pixel picture stretched
// would have a border one and a half pixels wide.
TEST_F(AgentIcons, TheSystemDrawsTheScaledFrameNotAStretchedSmallOne) {
    constexpr int kSize = 24;
    constexpr COLORREF kPaper = RGB(255, 0, 255);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HBITMAP canvas = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(dc && canvas);
    const HGDIOBJ previous = ::SelectObject(dc, canvas);
    for (int id : {IDI_CLOSE, IDI_ONLINE}) {
        SCOPED_TRACE(id);
        UniqueIcon icon(static_cast<HICON>(
            ::LoadImageW(agent_.Get(), MAKEINTRESOURCEW(id), IMAGE_ICON, kSize, kSize, 0)));
        ASSERT_TRUE(icon);
        const RECT all{0, 0, kSize, kSize};
        const HBRUSH paper = ::CreateSolidBrush(kPaper);
        ::FillRect(dc, &all, paper);
        ::DeleteObject(paper);
        ASSERT_TRUE(::DrawIconEx(dc, 0, 0, icon.Get(), kSize, kSize, 0, nullptr, DI_NORMAL));
        EXPECT_EQ(::GetPixel(dc, 0, 0), kPaper) << "the corner is transparent";
        EXPECT_EQ(::GetPixel(dc, 12, 0), RGB(96, 109, 51)) << "the border";
        EXPECT_EQ(::GetPixel(dc, 12, 1), RGB(120, 136, 63)) << "the fill's top row, not more border";
        EXPECT_EQ(::GetPixel(dc, 1, 1), RGB(120, 136, 63)) << "next to the corner, the fill";
    }
    ::SelectObject(dc, previous);
    ::DeleteObject(canvas);
    ::DeleteDC(dc);
}

}  // namespace
}  // namespace kov::test
