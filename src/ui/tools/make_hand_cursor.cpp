// Writes the hand pointer HAND-M.CUR: a 32 x 32 Windows cursor (32-bit colour with an AND
// mask) drawn from the picture below. Usage: make_hand_cursor OUTPUT.CUR
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// 'X' outline, 'o' fill, anything else transparent. The hot spot is the finger tip.
const char* const kPicture[] = {
    "..........XX....................", ".........XooX...................",
    ".........XooX...................", ".........XooX...................",
    ".........XooX...................", ".........XooXXX.................",
    ".........XooXooXXX..............", ".........XooXooXooXX............",
    ".........XooXooXooXoX...........", "......XX.XooXooXooXooX..........",
    ".....XooXXooooooooXooX..........", ".....XoooXoooooooooooX..........",
    "......XooXoooooooooooX..........", ".......XoXoooooooooooX..........",
    ".......XooooooooooooX...........", "........XoooooooooooX...........",
    "........XooooooooooX............", ".........XoooooooooX............",
    ".........XoooooooooX............", "..........XooooooooX............",
    "..........XXXXXXXXXX............",
};
constexpr int kSize = 32;
constexpr int kHotX = 10;
constexpr int kHotY = 0;

void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(uint8_t(v & 0xff));
    out.push_back(uint8_t((v >> 8) & 0xff));
}

void put32(std::vector<uint8_t>& out, unsigned v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

char pixel(int x, int y) {
    const int rows = int(sizeof(kPicture) / sizeof(kPicture[0]));
    if (y >= rows)
        return '.';
    return kPicture[y][x];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.CUR\n", argv[0]);
        return 2;
    }
    const unsigned colourBytes = kSize * kSize * 4;
    const unsigned maskBytes = kSize * (kSize / 8);
    const unsigned imageBytes = 40 + colourBytes + maskBytes;

    std::vector<uint8_t> out;
    put16(out, 0); // reserved
    put16(out, 2); // cursor
    put16(out, 1); // one image
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(0); // colour count
    out.push_back(0); // reserved
    put16(out, kHotX);
    put16(out, kHotY);
    put32(out, imageBytes);
    put32(out, 22); // image offset

    put32(out, 40);        // header size
    put32(out, kSize);     // width
    put32(out, kSize * 2); // height of colour plus mask
    put16(out, 1);         // planes
    put16(out, 32);        // bits per pixel
    put32(out, 0);         // no compression
    put32(out, colourBytes + maskBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    for (int y = kSize - 1; y >= 0; --y) { // rows bottom-up, pixels as BGRA
        for (int x = 0; x < kSize; ++x) {
            const char p = pixel(x, y);
            const uint8_t level = p == 'o' ? 255 : 0;
            const uint8_t alpha = (p == 'o' || p == 'X') ? 255 : 0;
            out.push_back(level);
            out.push_back(level);
            out.push_back(level);
            out.push_back(alpha);
        }
    }
    for (int y = kSize - 1; y >= 0; --y) { // AND mask: 1 where transparent
        for (int byte = 0; byte < kSize / 8; ++byte) {
            uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const char p = pixel(byte * 8 + bit, y);
                if (p != 'o' && p != 'X')
                    bits |= uint8_t(0x80 >> bit);
            }
            out.push_back(bits);
        }
    }

    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        if (file)
            std::fclose(file);
        return 1;
    }
    return std::fclose(file) == 0 ? 0 : 1;
}
