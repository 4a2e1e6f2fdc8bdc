// Screenshots for the README: the window's pixels as the screen shows them,
// written as a PNG.
#include <string>
#include <vector>
#include "support/programs.h"
#include "support/ui_driver.h"

typedef std::vector<unsigned char> Bytes;

// How long a screenshot waits for the window's painting to settle: at most
// SETTLE_TRIES grabs, SETTLE_POLL_MS apart.
enum { SETTLE_TRIES = 20, SETTLE_POLL_MS = 100 };

static unsigned long crc32_of(const unsigned char* data, size_t size, unsigned long crc)
{
    crc = ~crc & 0xFFFFFFFFul;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1)));
    }
    return ~crc & 0xFFFFFFFFul;
}

static void put_u32(Bytes& out, unsigned long value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((unsigned char)(value >> shift));
}

static void put_chunk(Bytes& out, const char* type, const Bytes& data)
{
    put_u32(out, (unsigned long)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_u32(out, crc32_of(&out[start], out.size() - start, 0));
}

// Deflate with the fixed Huffman code and greedy matching against the last
// place each 3-byte run was seen: flat window areas shrink a hundredfold,
// and no compression library is needed.
struct BitWriter {
    Bytes& out;
    unsigned long bits;
    int count;
};

static void put_bits(BitWriter& w, unsigned long value, int count)
{
    w.bits |= value << w.count;
    w.count += count;
    while (w.count >= 8) {
        w.out.push_back((unsigned char)(w.bits & 0xFF));
        w.bits >>= 8;
        w.count -= 8;
    }
}

// Huffman codes go out first bit first, the other fields lowest bit first.
static void put_code(BitWriter& w, unsigned long code, int length)
{
    unsigned long reversed = 0;
    for (int i = 0; i < length; ++i)
        reversed |= ((code >> i) & 1) << (length - 1 - i);
    put_bits(w, reversed, length);
}

static void put_symbol(BitWriter& w, int symbol)
{
    if (symbol < 144)
        put_code(w, 0x30 + symbol, 8);
    else if (symbol < 256)
        put_code(w, 0x190 + symbol - 144, 9);
    else if (symbol < 280)
        put_code(w, symbol - 256, 7);
    else
        put_code(w, 0xC0 + symbol - 280, 8);
}

static void put_match(BitWriter& w, int length, int distance)
{
    static const int LENGTH_BASE[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int LENGTH_EXTRA[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int DISTANCE_BASE[] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                        33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    int l = 28;
    while (LENGTH_BASE[l] > length)
        --l;
    put_symbol(w, 257 + l);
    put_bits(w, (unsigned long)(length - LENGTH_BASE[l]), LENGTH_EXTRA[l]);
    int d = 29;
    while (DISTANCE_BASE[d] > distance)
        --d;
    put_code(w, (unsigned long)d, 5);
    put_bits(w, (unsigned long)(distance - DISTANCE_BASE[d]), d < 4 ? 0 : d / 2 - 1);
}

static Bytes deflate_zlib(const Bytes& raw)
{
    enum { WINDOW = 32768, MAX_MATCH = 258, HASH_SIZE = 1 << 16 };
    Bytes out = {0x78, 0x01};
    BitWriter w = {out, 0, 0};
    put_bits(w, 1, 1);  // the only block
    put_bits(w, 1, 2);  // fixed Huffman code
    std::vector<long> last_seen(HASH_SIZE, -1);
    size_t pos = 0;
    while (pos < raw.size()) {
        int best = 0;
        if (pos + 3 <= raw.size()) {
            unsigned hash = (raw[pos] << 8 ^ raw[pos + 1] << 4 ^ raw[pos + 2]) & (HASH_SIZE - 1);
            long seen = last_seen[hash];
            last_seen[hash] = (long)pos;
            if (seen >= 0 && pos - seen <= WINDOW) {
                size_t limit = raw.size() - pos < (size_t)MAX_MATCH ? raw.size() - pos : (size_t)MAX_MATCH;
                while ((size_t)best < limit && raw[seen + best] == raw[pos + best])
                    ++best;
                if (best >= 3) {
                    put_match(w, best, (int)(pos - seen));
                    pos += best;
                    continue;
                }
            }
        }
        put_symbol(w, raw[pos++]);
    }
    put_symbol(w, 256);
    put_bits(w, 0, 7);  // flush the last byte
    unsigned long a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_u32(out, (b << 16) | a);
    return out;
}

// rgb: width * height pixels, three bytes each, rows top to bottom.
static Bytes png_of(int width, int height, const Bytes& rgb)
{
    static const unsigned char SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put_u32(header, (unsigned long)width);
    put_u32(header, (unsigned long)height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
    Bytes raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        raw.insert(raw.end(), rgb.begin() + (size_t)y * width * 3, rgb.begin() + (size_t)(y + 1) * width * 3);
    }
    Bytes png(SIGNATURE, SIGNATURE + sizeof SIGNATURE);
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", deflate_zlib(raw));
    put_chunk(png, "IEND", Bytes());
    return png;
}

// The screen's pixels under rect, as RGB rows; empty when they cannot be read.
static Bytes grab_screen(const RECT& rect)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bytes rgb;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) {
            GdiFlush();
            const unsigned char* bgrx = (const unsigned char*)bits;
            for (size_t i = 0; i < (size_t)width * height; ++i) {
                rgb.push_back(bgrx[i * 4 + 2]);
                rgb.push_back(bgrx[i * 4 + 1]);
                rgb.push_back(bgrx[i * 4]);
            }
        }
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return rgb;
}

bool ui_screenshot(HWND window, const std::wstring& png_path)
{
    // Without a window manager nobody draws the frame, so only the client
    // area shows what the user sees.
    RECT rect;
    if (!GetClientRect(window, &rect) || rect.right <= 0 || rect.bottom <= 0)
        return false;
    MapWindowPoints(window, nullptr, (POINT*)&rect, 2);
    // A text just set may not be painted yet: the screen holds what was.
    // Another process paints its controls in its own time, so the picture
    // counts once two grabs a moment apart agree.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Bytes rgb = grab_screen(rect), before;
    for (int tries = 0; tries < SETTLE_TRIES && !rgb.empty() && rgb != before; tries++) {
        Sleep(SETTLE_POLL_MS);
        before = rgb;
        rgb = grab_screen(rect);
    }
    if (rgb.empty())
        return false;
    Bytes png = png_of(rect.right - rect.left, rect.bottom - rect.top, rgb);
    return write_file(png_path, std::string(png.begin(), png.end()));
}
