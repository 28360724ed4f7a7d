// orvane subcommands for files: colour tables.
//   orvane colours FILE                        the 256 entries as rrggbb hex lines
//   orvane colours --png OUT [--cell N] FILE   a 16 x 16 grid of swatches as a PNG picture
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvane.h"

namespace cli {

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "orvane: colours: %s\n", message.c_str());
    return 1;
}

// Loads the table and counts the bytes that came from the file: the library leaves the
// rest of the array alone, so two loads over different fillings tell read from unread.
int loadTable(const std::string& path, unsigned char* rgb) {
    unsigned char other[TQ_COLOUR_TABLE_BYTES];
    for (int i = 0; i < TQ_COLOUR_TABLE_BYTES; ++i) {
        rgb[i] = 0x00;
        other[i] = 0xFF;
    }
    msapiFile_readColourTableToRGBArray(rgb, path.c_str());
    msapiFile_readColourTableToRGBArray(other, path.c_str());
    int read = 0;
    while (read < TQ_COLOUR_TABLE_BYTES && rgb[read] == other[read]) ++read;
    return read;
}

// Writes an indexed PNG whose palette is the table: swatch i sits in row i / 16, column
// i % 16, `cell` pixels square. A failed write leaves no file behind.
bool writeSwatches(const std::string& out, const unsigned char* rgb, int cell) {
    std::FILE* file = std::fopen(out.c_str(), "wb");
    if (!file) return false;
    const int side = 16 * cell;
    std::vector<png_byte> row(static_cast<std::size_t>(side));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        std::remove(out.c_str());
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(side), static_cast<png_uint_32>(side), 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]};
    png_set_PLTE(png, info, palette, 256);
    png_write_info(png, info);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) row[static_cast<std::size_t>(x)] = static_cast<png_byte>(y / cell * 16 + x / cell);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        std::remove(out.c_str());
        return false;
    }
    return true;
}

int colours(const std::vector<std::string>& args) {
    std::string png, path;
    int cell = 16;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--png" || a == "--cell") {
            if (i + 1 >= args.size()) return usageError("colours: " + a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--png") {
                png = value;
                continue;
            }
            std::size_t used = 0;
            try {
                cell = std::stoi(value, &used);
            } catch (...) {
                used = 0;
            }
            if (used != value.size() || cell < 1 || cell > 64) return usageError("colours: --cell takes 1 to 64");
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("colours: unknown option '" + a + "'");
        } else if (path.empty()) {
            path = a;
        } else {
            return usageError("colours: one table file at a time");
        }
    }
    if (path.empty()) return usageError("colours: no table file given");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return fail("cannot read '" + path + "'");

    unsigned char rgb[TQ_COLOUR_TABLE_BYTES];
    const int read = loadTable(path, rgb);
    if (read < TQ_COLOUR_TABLE_BYTES)
        std::fprintf(stderr, "orvane: colours: '%s' holds %d of 768 bytes; the rest shows as 0\n", path.c_str(), read);
    if (!png.empty()) return writeSwatches(png, rgb, cell) ? 0 : fail("cannot write '" + png + "'");
    for (int i = 0; i < 256; ++i) std::printf("%02x%02x%02x\n", rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

const Command kCommands[] = {
    {"colours", "[--png OUT [--cell N]] FILE",
     "print a colour table's 256 entries as rrggbb lines, or draw them as a 16x16 swatch PNG", colours,
     "--png OUT\tdraw the table as a 16x16 swatch picture into the PNG file OUT\n"
     "--cell N\twith --png: the side of one swatch in pixels, 1 to 64 (default 16)\n",
     "orvane colours colour.tbl\norvane colours --png swatch.png --cell 24 colour.tbl"},
};

}  // namespace

std::span<const Command> fileCommands() { return kCommands; }

}  // namespace cli
