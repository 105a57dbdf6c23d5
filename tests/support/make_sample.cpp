// Writes the bundled sample archive: named entries in sub-folders, an
// unnamed entry, a gzip member carrying a file name, a nested archive and a
// GIM image.  Usage: make_sample <path of sample.dat>
#include <cstdio>
#include <exception>

#include "dat_writer.h"

using namespace testdat;

namespace {

Bytes GimImage(const std::string& label) {
    Bytes b = ToBytes("MIG.00.1PSP");
    b.resize(16, 0);
    Bytes rest = ToBytes(label);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

Archive MenuArchive() {
    Archive menu;
    menu.entries.push_back(Named("title.txt", "Main menu\n"));
    GzipOptions named;
    named.fname = "strings.txt.gz";
    std::string text;
    for (int i = 0; i < 40; ++i) text += "menu string " + std::to_string(i) + "\n";
    menu.entries.push_back(Named("strings.bin", Gzip(ToBytes(text), named)));
    menu.entries.push_back(Named("cursor.bin", GimImage("cursor pixels")));
    return menu;
}

Archive SampleArchive() {
    Archive a;
    a.entries.push_back(Named("readme.txt", "A sample archive for ravelkit.\n"));
    a.entries.push_back(Named("data/config/settings.ini", "[video]\nwidth=480\nheight=272\n"));
    a.entries.push_back(Named("data\\maps\\field01.map", "field 01 map data\n"));
    a.entries.push_back(Unnamed(ToBytes("an entry without a stored name\n")));
    GzipOptions fname;
    fname.fname = "event01.txt.gz";
    std::string script;
    for (int i = 0; i < 100; ++i) script += "event line " + std::to_string(i) + "\n";
    a.entries.push_back(Named("script/event01.bin", Gzip(ToBytes(script), fname)));
    a.entries.push_back(Named("ui/menu.dat", MenuArchive().Build()));
    a.entries.push_back(Named("tex/tex_03.dat", GimImage("texture pixels")));
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample <path of sample.dat>\n");
        return 2;
    }
    try {
        SampleArchive().Write(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_sample: %s\n", e.what());
        return 1;
    }
    return 0;
}
